#!/usr/bin/env bash
# The main job: sets up, builds and runs the paint demo under Wine in an
# Xvfb of depth 24.  It paints its built-in pictures (or the BMP file given
# as the first argument) through the display library in a matrix of display
# modes and devices and writes a labelled contact sheet to out/.  With
# --print it then prints the sheet through Z_PrintBitmap to a PostScript
# test printer (installed into the Wine prefix, its port writing a file)
# and renders the job to out/zvdemo-print.pdf with Ghostscript.
# With --view it runs the viewer (zvview) through a scripted tour instead.
# --arch i686 (first) builds and runs the 32-bit programs instead of the
# x86_64 ones; --arch x86_64 is the default.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=x86_64
if [[ ${1:-} == --arch ]]; then
    arch=${2:?--arch x86_64|i686}
    shift 2
fi
case $arch in
    x86_64) preset=x64 ;;
    i686)   preset=i686 ;;
    *) echo "main.sh: unknown architecture $arch (x86_64 or i686)" >&2; exit 2 ;;
esac
run() { scripts/winerun --arch "$arch" --depth 24 -- "build/$preset/bin/$1.exe" "${@:2}"; }

scripts/setup.sh
cmake --preset "$preset" >/dev/null

# --view [picture.bmp]: the viewer's scripted tour; screenshots to out/.
if [[ ${1:-} == --view ]]; then
    shift
    cmake --build --preset "$preset" --target zvview
    mkdir -p out
    status=0
    run zvview --tour out "$@" || status=$?
    scripts/winerun --stop-all
    [[ $status -eq 0 ]] && echo "viewer tour screenshots: $(pwd)/out/zvview-*.png"
    exit $status
fi
cmake --build --preset "$preset" --target zvdemo
status=0
run zvdemo "$@" || status=$?
scripts/winerun --stop-all
if [[ $status -eq 0 ]]; then
    echo "contact sheet: $(pwd)/out/zvdemo-sheet.png (and out/zvdemo-sheet.bmp)"
    for a in "$@"; do
        [[ $a == --print ]] && echo "printed page: $(pwd)/out/zvdemo-print.pdf"
    done
fi
exit $status
