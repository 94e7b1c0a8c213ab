#!/usr/bin/env bash
# Plants each fault of faults.py in turn in a scratch checkout, builds the
# test programs of its area, runs them at Xvfb depth 24 and writes which
# tests failed, one line per fault:
#   scripts/faults/run.sh SCRATCH_CHECKOUT OUT_FILE [fault-id...]
# The scratch checkout (for example a git worktree) must be configured
# with the x64 preset; its changes are reverted after each fault.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$1 out=$2; shift 2
cd "$work"
faults() { python3 -c "import sys; sys.path.insert(0, '$here'); from faults import FAULTS; $1"; }
ids=("$@"); [[ ${#ids[@]} -gt 0 ]] || ids=($(faults "print(' '.join(f[0] for f in FAULTS))"))
: > "$out.tmp"
for id in "${ids[@]}"; do
  git checkout -q -- .
  file=$(faults "print([f for f in FAULTS if f[0] == '$id'][0][2])")
  faults "
f = [f for f in FAULTS if f[0] == '$id'][0]
s = open(f[2]).read(); assert s.count(f[3]) == 1
open(f[2], 'w').write(s.replace(f[3], f[4]))" || { echo "$id: does not apply" >> "$out.tmp"; continue; }
  case $file in
    paint/*) exes="paint_tests";; include/*|kernel/*) exes="paint_tests kernel_tests";;
    common/*) exes="paint_tests kernel_tests color_tests region_tests";;
    region/*) exes="region_tests";; color/*) exes="color_tests region_tests";; playback/*) exes="playback_tests";;
    transfer/*) exes="transfer_tests";; windows/*) exes="windows_tests";; *) exes="";;
  esac
  exes+=" sweep_tests"
  if ! cmake --build --preset x64 --target $exes >/dev/null 2>&1; then echo "$id: build failed" >> "$out.tmp"; continue; fi
  caught=""
  for e in $exes; do
    o=$(timeout 900 scripts/winerun -- "build/x64/bin/$e.exe" --gtest_brief=1 2>&1); rc=$?
    r=$(grep -E '^\[  FAILED  \] [A-Za-z]' <<<"$o" | sed 's/^\[  FAILED  \] //; s/ (.*//; s/,.*//' | sort -u | tr '\n' ' ')
    [[ -z $r && $rc -ne 0 ]] && r="$e:exit$rc "
    # A crash under Wine may still exit 0: no summary line then.
    [[ -z $r ]] && ! grep -qE '^\[==========\] .* ran\.' <<<"$o" && r="$e:crashed "
    caught+="$r"
  done
  echo "$id: ${caught:-NOT CAUGHT}" | tee -a "$out.tmp"
done
git checkout -q -- .
mv "$out.tmp" "$out"
