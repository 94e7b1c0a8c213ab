#!/usr/bin/env bash
# The API reference from the public headers' Doxygen comments:
#   apidoc.sh [OUT]          (default out/api; the HTML is OUT/html/index.html)
# Fails, naming what is wrong, on any Doxygen warning (an undocumented
# member, a parameter or return value left undescribed, a bad command) and
# on any export of the .def files without its own complete entry: a brief
# description, every parameter described, and its result described unless
# it returns nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-out/api}
rm -rf "$out" && mkdir -p "$out"
out=$(cd "$out" && pwd)
ZV_APIDOC_OUT=$out doxygen docs/Doxyfile
if [ -s "$out/warnings.txt" ]; then
    echo "apidoc: Doxygen warnings:" >&2
    cat "$out/warnings.txt" >&2
    exit 1
fi
python3 scripts/apicheck.py "$out/xml" frame/zvdisp.def kernel/zvkern.def
echo "API reference: $out/html/index.html"
