#!/usr/bin/env bash
# The API reference from the public headers' comments: out/api/html/index.html.
# Fails when an export of the .def files has no commented declaration.
set -euo pipefail
cd "$(dirname "$0")/.."
awk -v mode=check -f scripts/headerdoc.awk include/*.h frame/zvdisp.def kernel/zvkern.def >/dev/null ||
    awk -v mode=check -f scripts/headerdoc.awk include/*.h frame/zvdisp.def kernel/zvkern.def
rm -rf out/api && mkdir -p out/api
doxygen docs/Doxyfile
echo "API reference: $PWD/out/api/html/index.html"
