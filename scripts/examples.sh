#!/usr/bin/env bash
# Runs the SDK's window examples, as built against the installed tree by
# consumer.sh, under Wine at the depth of $ZV_DEPTH: example_runner starts
# each on a bottom-up test picture, clicks with real mouse input and checks
# the captured window.
#   examples.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=$build/consumer
work=$out/example-runs-${ZV_DEPTH:-24}
rm -rf "$work" && mkdir -p "$work"
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
"$here/winerun" -- "$out/example_runner.exe" "$(winpath "$out/examples")" "$(winpath "$work")"
