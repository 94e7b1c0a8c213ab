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
scripts/package.sh   # API reference (out/api) and the SDK zips (out/zvdisp-*-<arch>.zip)
rm -f build/x64-configure.log build/i686-configure.log

step "tests at Xvfb depth 24 and depth 8"
rm -f build/x64/tests/*-summary-*.txt
set +e
ctest --preset x64 2>&1 | tee build/ctest.log
rc=${PIPESTATUS[0]}
set -e
# The closing line per depth: the export sweep and the mutation run, then
# ctest's summary once more so that the run ends with it.
echo
for d in 24 8; do
    line=""
    f=build/x64/tests/sweep-summary-$d.txt; [ -f "$f" ] && line="$(cat "$f")"
    f=build/x64/tests/fuzz-summary-$d.txt; [ -f "$f" ] && line="${line:+$line; }$(cat "$f")"
    [ -n "$line" ] && echo "depth $d: $line"
done
scripts/coverage.sh || rc=1   # the suite again in the instrumented tree; one line per folder
sed -n '/tests passed, /,$p' build/ctest.log
exit $rc
