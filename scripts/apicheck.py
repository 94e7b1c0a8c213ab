"""Checks Doxygen's XML output against the exports of the .def files.

    apicheck.py XML_DIR DEF_FILE...

Every export must have exactly one documented function entry of its own:
a brief description, a description for each parameter of its declaration,
and a described result (@return or @retval) unless it returns void.
Prints one line per fault and exits 1 when there is any."""
import glob
import re
import sys
import xml.etree.ElementTree as ET


def exports(def_file):
    names, in_exports = [], False
    for line in open(def_file, encoding="ascii"):
        line = line.split(";", 1)[0].strip()
        if line.upper() == "EXPORTS":
            in_exports = True
        elif in_exports and line:
            names.append(re.split(r"[@\s=]", line, 1)[0])
    return names


def text(node):
    return "".join(node.itertext()).strip() if node is not None else ""


def entries(xml_dir):
    found = {}
    for path in glob.glob(xml_dir + "/*.xml"):
        if path.endswith("/index.xml"):
            continue
        for member in ET.parse(path).iter("memberdef"):
            if member.get("kind") == "function":
                found.setdefault(text(member.find("name")), []).append(member)
    return found


def faults(name, members):
    if not members:
        return ["no documented entry"]
    if len(members) > 1:
        return ["%d entries" % len(members)]
    member, out = members[0], []
    if not text(member.find("briefdescription")):
        out.append("no brief description")
    declared = [text(p.find("declname")) for p in member.findall("param")]
    declared = [p for p in declared if p]
    described = {}
    for item in member.iter("parameteritem"):
        key = [text(n) for n in item.iter("parametername")]
        body = text(item.find("parameterdescription"))
        for k in key:
            described[k] = body
    for p in declared:
        if not described.get(p):
            out.append("parameter %s not described" % p)
    returns = text(member.find("type"))
    has_result = any(s.get("kind") == "return" for s in member.iter("simplesect")) or any(
        pl.get("kind") == "retval" for pl in member.iter("parameterlist"))
    if returns != "void" and not has_result:
        out.append("result not described")
    return out


def main():
    xml_dir, defs = sys.argv[1], sys.argv[2:]
    found, bad = entries(xml_dir), 0
    names = [n for d in defs for n in exports(d)]
    for name in names:
        for fault in faults(name, found.get(name, [])):
            print("apicheck: %s: %s" % (name, fault))
            bad += 1
    print("apicheck: %d exports, %d faults" % (len(names), bad))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
