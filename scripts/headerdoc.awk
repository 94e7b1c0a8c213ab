# Reads the public headers' comments the way the API reference does.
#
#   awk -v mode=check -f headerdoc.awk include/*.h frame/zvdisp.def kernel/zvkern.def
#       Lists every export of the .def files whose declaration carries no
#       comment at all (or that no header declares); exits 1 if there is one.
#   awk -v mode=filter -f headerdoc.awk header.h
#       Doxygen's input filter: the header with its plain comments turned
#       into documentation comments.
#
# A declaration is commented when a comment ends on the line above it, when
# it carries a comment on its own line, or when it follows a commented
# declaration without a blank line (a group under one comment, which the
# reference repeats for each member), or when the comment heads a block of
# definitions that ends in the declaration without a blank line.  Section banners (/* ---- ...) become
# the reference's groups (its modules).

function flush_group() {
    if (group_open) { print "/** @} */"; group_open = 0 }
}
function group_id(   f) {
    f = FILENAME; sub(/.*\//, "", f); sub(/\..*/, "", f)
    return f "_" (++group_count)
}
function doc(text) { return "/**" substr(text, 3) }
# A banner's title: the words between its dashes, else its first sentence.
function banner_title(text,   t, i) {
    t = text
    gsub(/\/\*|\*\//, " ", t); gsub(/\n[ \t]*\*/, " ", t); gsub(/---+/, "\001", t)
    gsub(/[ \t]+/, " ", t)
    i = index(t, "\001"); if (i) { t = substr(t, i + 1) }
    i = index(t, "\001"); if (i > 1) { t = substr(t, 1, i - 1) } else { sub(/\001.*/, "", t) }
    i = index(t, ". "); if (i) { t = substr(t, 1, i - 1) }
    i = index(t, ":"); if (i) { t = substr(t, 1, i - 1) }
    gsub(/^ +| +$/, "", t); sub(/\.$/, "", t)
    return t
}
function banner_body(text,   t) {
    t = text
    gsub(/---+/, "", t); sub(/^\/\*/, "", t); sub(/\*\/$/, "", t)
    return t
}
function emit_pending(as_doc) {
    if (pending == "") return
    if (mode == "filter") print (as_doc ? doc(pending) : pending)
    pending = ""
}
# The exported name a declaration line starts, or "".
function declared_name(line) {
    if (line ~ /^[ \t]*typedef/ || line !~ /__stdcall/) return ""
    if (!match(line, /[ZK]_[A-Za-z0-9_]+[ \t]*\(/)) return ""
    return substr(line, RSTART, RLENGTH - 1)
}

FNR == 1 { in_comment = 0; pending = ""; prev = "blank"; flush_group(); in_decl = 0; file_doc = 1 }

FILENAME ~ /\.def$/ {
    if ($0 ~ /^[ \t]*;/ || $1 == "LIBRARY" || $1 == "EXPORTS" || NF == 0) next
    name = $1; sub(/@.*/, "", name)
    exports[++export_count] = name
    next
}

in_comment {
    pending = pending "\n" $0
    if ($0 ~ /\*\//) {
        in_comment = 0
        if (pending ~ /^\/\* *---+/) {
            if (mode == "filter") {
                flush_group()
                print "/** @defgroup " group_id() " " banner_title(pending) "\n" banner_body(pending) " */"; print "/** @{ */"
                group_open = 1
            }
            pending = ""; prev = "comment"; run_doc = ""
        } else if (file_doc) {
            if (mode == "filter") print "/** @file" substr(pending, 3)
            pending = ""; prev = "blank"
        } else { prev = "comment"; run_doc = pending }
        file_doc = 0
    }
    next
}

/^[ \t]*\/\*/ {
    pending = $0
    if ($0 ~ /\*\//) {
        in_comment = 0
        if (pending ~ /^[ \t]*\/\* *---+/ && mode == "filter") {
            flush_group(); print "/** @defgroup " group_id() " " banner_title(pending) " */"; print "/** @{ */"; group_open = 1
            pending = ""
        }
        prev = "comment"; run_doc = pending
    } else in_comment = 1
    next
}

{
    name = in_decl ? "" : declared_name($0)
    if (name != "") {
        trailing = $0 ~ /\/\*/
        commented = trailing || prev == "comment" || prev == "commented" || prev == "block"
        if (!commented) run_doc = ""
        seen[name] = 1
        if (commented) has_comment[name] = 1
        if (mode == "filter") {
            if (pending != "") emit_pending(1)
            else if (commented && run_doc != "") print doc(run_doc)
        }
        pending = ""
        in_decl = $0 !~ /;/
        decl_commented = commented
        if (!in_decl) prev = commented ? "commented" : "plain"
    } else if (in_decl) {
        if ($0 ~ /;/) { in_decl = 0; prev = decl_commented ? "commented" : "plain" }
    } else if ($0 ~ /^[ \t]*$/) {
        emit_pending(0); prev = "blank"; run_doc = ""
    } else {
        if ($0 ~ /^#ifdef __cplusplus/) { emit_pending(0); if (mode == "filter") flush_group() }
        else emit_pending(1)
        prev = (prev == "comment" || prev == "commented" || prev == "block") ? "block" : "other"
    }
    if (mode == "filter") {
        line = $0
        if (line ~ /[^ \t].*\/\*/ && line !~ /\/\*\*/) sub(/\/\*/, "/**<", line)
        print line
    }
}

END {
    if (mode != "check") { flush_group(); exit 0 }
    missing = 0
    for (i = 1; i <= export_count; ++i) {
        name = exports[i]
        if (!(name in seen)) { print "no declaration in the headers: " name; ++missing }
        else if (!(name in has_comment)) { print "declared without a comment: " name; ++missing }
    }
    printf "%d exports, %d without a commented declaration\n", export_count, missing
    exit missing > 0
}
