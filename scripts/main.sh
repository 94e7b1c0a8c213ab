#!/usr/bin/env bash
# The main job: sets up, builds and runs zvinfo under Wine (the library's
# exports and the display mode of a fresh thread).  The paint demo takes its
# place when it lands.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target zvinfo
status=0
scripts/winerun --depth 24 -- build/x64/bin/zvinfo.exe || status=$?
scripts/winerun --stop-all
exit $status
