#!/usr/bin/env bash
# Installs a build into a staging folder and builds a consumer program
# against the installed headers and import libraries, once with the MinGW
# import libraries and once with the MSVC-style ones.
#   consumer.sh BUILD_DIR ARCH [run]
# With "run" (x86_64 only) both consumers are run under Wine.
set -euo pipefail
build=$1 arch=$2 run=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
stage=$build/stage
out=$build/consumer
rm -rf "$stage" "$out"
mkdir -p "$out"
cmake --install "$build" --prefix "$stage" >/dev/null
cc=$arch-w64-mingw32-gcc
flags=(-std=c99 -Wall -Wextra -Werror -I"$stage/include")
"$cc" "${flags[@]}" "$src/tools/consumer/consumer.c" -o "$out/consumer_mingw.exe" \
    "$stage/lib/libzvdisp.dll.a" "$stage/lib/libzvkern.dll.a"
"$cc" "${flags[@]}" "$src/tools/consumer/consumer.c" -o "$out/consumer_msvclib.exe" \
    "$stage/lib/zvdisp.lib" "$stage/lib/zvkern.lib"
cp "$stage"/bin/*.dll "$out/"
echo "consumer ($arch): built against $stage"
if [ "$run" = run ]; then
    for exe in consumer_mingw consumer_msvclib; do
        "$here/winerun" -- "$out/$exe.exe"
    done
fi
