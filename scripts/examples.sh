#!/usr/bin/env bash
# Runs the SDK's examples, as built against the installed tree by
# consumer.sh, under Wine at the depth of $ZV_DEPTH: example_runner starts
# each on a bottom-up test picture, clicks with real mouse input and checks
# the captured windows; the printing example prints to a file through the
# test printer (made the prefix's default printer by zvprinter), and the
# page, rendered with Ghostscript, must show the picture upright.
#   examples.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=$build/consumer
work=$out/example-runs-${ZV_DEPTH:-24}
rm -rf "$work" && mkdir -p "$work"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
"$here/winerun" -- "$build/bin/zvprinter.exe" >/dev/null
"$here/winerun" -- "$out/example_runner.exe" "$(winpath "$out/examples")" "$(winpath "$work")"

gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r100 -o "$work/print_bmp.ppm" "$work/print_bmp.ps"
python3 - "$work/print_bmp.ppm" <<'PY'
# The printed page: the picture's box is where the page is not white; in
# it, the sun (top right), the sky and the hills (also where the sun's
# mirror image would fall) at their places, in their colours.
import sys
data = open(sys.argv[1], "rb").read()
fields, pos = [], 0
while len(fields) < 4:  # magic, width, height, maximum; comments skipped
    while data[pos:pos + 1].isspace():
        pos += 1
    if data[pos:pos + 1] == b"#":
        pos = data.index(b"\n", pos)
        continue
    end = pos
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[pos:end])
    pos = end
w, h = int(fields[1]), int(fields[2])
pix = data[pos + 1:]
at = lambda x, y: tuple(pix[3 * (y * w + x):3 * (y * w + x) + 3])
inked = [(x, y) for y in range(0, h, 2) for x in range(0, w, 2) if at(x, y) != (255, 255, 255)]
if not inked:
    sys.exit("print_bmp: the page is blank")
left, right = min(p[0] for p in inked), max(p[0] for p in inked) + 2
top, bottom = min(p[1] for p in inked), max(p[1] for p in inked) + 2
colours = {"sky": (80, 120, 200), "sun": (255, 220, 0), "hills": (40, 160, 60)}
points = [("sun", 70, 16), ("sky", 8, 8), ("hills", 20, 56), ("hills", 70, 47)]
bad = 0
for name, px, py in points:
    x = left + (2 * px + 1) * (right - left) // (2 * 96)
    y = top + (2 * py + 1) * (bottom - top) // (2 * 64)
    got = at(x, y)
    ok = all(abs(a - b) <= 8 for a, b in zip(got, colours[name]))
    bad += not ok
    print("%s: printed page: %s at picture (%d, %d) is %s" % ("ok  " if ok else "FAIL", name, px, py, got))
print("print_bmp: picture box (%d, %d, %d, %d) on a %d x %d page" % (left, top, right, bottom, w, h))
sys.exit(1 if bad else 0)
PY
