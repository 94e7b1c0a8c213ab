#!/usr/bin/env bash
# Coverage of the suite: builds the instrumented x86_64 tree (preset
# x64-coverage: --coverage, -O0), runs the suite there at Xvfb depths 24
# and 8, merges the counts of every run and prints one line per library
# folder and the kernel with its line and branch coverage.  The HTML
# report goes to out/coverage/index.html.
#
#   scripts/coverage.sh            build, run, report
#   scripts/coverage.sh --report   report on the counts of the last run
#
# mingw's runtime writes each object's .gcda at the object's absolute Unix
# path, which Wine reaches through the Z: drive, merging into what earlier
# runs wrote; the runs go one at a time so that two never write one file
# at once.  Lines and branches marked GCOVR_EXCL_* are left out
# (docs/DESIGN.md lists them and why).
set -euo pipefail
cd "$(dirname "$0")/.."
b=build/x64-coverage
folders=(frame paint region color playback transfer windows kernel)

if [[ ${1:-} != --report ]]; then
    mkdir -p build
    cmake --preset x64-coverage >$b-configure.log 2>&1 || { cat $b-configure.log; exit 1; }
    cmake --build --preset x64-coverage >$b-build.log 2>&1 || { tail -40 $b-build.log; exit 1; }
    find $b -name '*.gcda' -delete
    # The instrumented run's failures are the plain run's too; its own
    # verdict is not the suite's (timings differ at -O0).
    ctest --preset x64-coverage -j 1 -E '^(consumer|consumer@24|api_reference|examples@24|examples@8|wine-stop)$' >$b/ctest.log 2>&1 ||
        echo "coverage: tests failed in the instrumented tree (see $b/ctest.log)"
fi

mkdir -p out/coverage
filter=$(IFS='|'; echo "${folders[*]}")
gcovr -r . --object-directory $b --filter "($filter)/" --exclude-unreachable-branches \
    --exclude-throw-branches --gcov-ignore-parse-errors --gcov-executable x86_64-w64-mingw32-gcov-posix -j 2 \
    --json-summary out/coverage/summary.json --html-details out/coverage/index.html >$b/gcovr.log 2>&1
python3 - out/coverage/summary.json "${folders[@]}" <<'EOF'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
for folder in sys.argv[2:]:
    mine = [f for f in files if f["filename"].startswith(folder + "/")]
    lc, lt = sum(f["line_covered"] for f in mine), sum(f["line_total"] for f in mine)
    bc, bt = sum(f["branch_covered"] for f in mine), sum(f["branch_total"] for f in mine)
    pct = lambda c, t: 100.0 * c / t if t else 100.0
    print(f"coverage {folder + ':':10} lines {pct(lc, lt):5.1f}% ({lc}/{lt})  branches {pct(bc, bt):5.1f}% ({bc}/{bt})")
EOF
