#!/usr/bin/env bash
# The test command: sets up the machine, builds both architectures with their
# tests and runs the whole suite under Wine at Xvfb depth 24 and at depth 8,
# first the x86_64 tree, then the i686 tree (every test executable is
# registered once per depth in each tree).  Ends with the closing lines per
# architecture and depth, then ctest's summary of each tree.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

step() { printf '\n== %s\n' "$*"; }
arch_of() { [ "$1" = x64 ] && echo x86_64 || echo "$1"; }
PRESETS=(x64 i686)

mkdir -p build
for preset in "${PRESETS[@]}"; do
    step "configure and build $(arch_of "$preset")"
    log=build/$preset-configure.log
    cmake --preset "$preset" >"$log" 2>&1 || { cat "$log"; exit 1; }
    cmake --build --preset "$preset"
    rm -f "$log"
done
scripts/package.sh   # API reference (out/api) and the SDK zips (out/zvdisp-*-<arch>.zip)

# The two trees take turns: their tests share each depth's Xvfb and Wine
# prefix (scripts/winerun).
rc=0
for preset in "${PRESETS[@]}"; do
    step "tests of $(arch_of "$preset") at Xvfb depth 24 and depth 8"
    rm -f build/"$preset"/tests/*-summary-*.txt
    set +e
    ctest --preset "$preset" 2>&1 | tee build/ctest-"$preset".log
    r=${PIPESTATUS[0]}
    set -e
    ((r == 0)) || rc=$r
done

# The suite again in the instrumented x86_64 tree: one line per library
# folder and the kernel with its line and branch coverage.
step "coverage"
scripts/coverage.sh || rc=1

# The closing lines per architecture and depth: the export sweep and the
# mutation run; then ctest's summary of each tree once more so that the run
# ends with them.
echo
for preset in "${PRESETS[@]}"; do
    for d in 24 8; do
        line=""
        f=build/$preset/tests/sweep-summary-$d.txt; [ -f "$f" ] && line="$(cat "$f")"
        f=build/$preset/tests/fuzz-summary-$d.txt; [ -f "$f" ] && line="${line:+$line; }$(cat "$f")"
        [ -n "$line" ] && echo "$(arch_of "$preset") depth $d: $line"
    done
done
for preset in "${PRESETS[@]}"; do
    echo
    echo "ctest $(arch_of "$preset"):"
    sed -n '/tests passed, /,$p' build/ctest-"$preset".log
done
exit $rc
