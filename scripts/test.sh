#!/usr/bin/env bash
# The test command: sets up the machine, builds both architectures and runs
# the whole suite under Wine at Xvfb depth 24 and again at depth 8 (every
# test executable is registered once per depth).  Ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

step() { printf '\n== %s\n' "$*"; }

mkdir -p build
step "configure and build x86_64"
cmake --preset x64 >build/x64-configure.log 2>&1 || { cat build/x64-configure.log; exit 1; }
cmake --build --preset x64

step "configure and build i686 (compiled and linked; layouts pinned by static_asserts)"
cmake --preset i686 >build/i686-configure.log 2>&1 || { cat build/i686-configure.log; exit 1; }
cmake --build --preset i686
scripts/consumer.sh build/i686 i686
scripts/apidoc.sh
rm -f build/x64-configure.log build/i686-configure.log

step "tests at Xvfb depth 24 and depth 8"
rc=0
ctest --preset x64 || rc=$?
# The export sweep's and the fuzz's closing lines, per depth.
for f in build/x64/tests/sweep-summary-*.txt build/x64/tests/fuzz-summary-*.txt; do
    [ -f "$f" ] && echo "depth ${f##*-summary-}: $(cat "$f")" | sed 's/\.txt:/:/'
done
exit $rc
