#!/usr/bin/env bash
# Installs a build into a staging folder and builds, against that tree
# alone, the consumer program and the shipped examples with CMake's
# find_package(zvdisp CONFIG) (MinGW import libraries), and the consumer
# once more by hand with the MSVC-style import libraries.
#   consumer.sh BUILD_DIR ARCH [run]
# With "run" both consumers and the clipboard example are run under the
# Wine of ARCH (x86_64 or i686).
set -euo pipefail
build=$1 arch=$2 run=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
stage=$build/stage
out=$build/consumer
rm -rf "$stage" "$out"
mkdir -p "$out"
cmake --install "$build" --prefix "$stage" >/dev/null
stage=$(cd "$stage" && pwd)

cmake -S "$src/tools/consumer" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchain-$arch.cmake" \
    -Dzvdisp_DIR="$stage/lib/cmake/zvdisp" >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log"; exit 1; }
cmake --build "$out" >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
mv "$out/consumer.exe" "$out/consumer_mingw.exe"

cc=$arch-w64-mingw32-gcc
"$cc" -std=c99 -Wall -Wextra -Werror -I"$stage/include" "$src/tools/consumer/consumer.c" \
    -o "$out/consumer_msvclib.exe" "$stage/lib/zvdisp.lib" "$stage/lib/zvkern.lib"
cp "$stage"/bin/*.dll "$out/"
echo "consumer ($arch): consumer and examples built against $stage"
if [ "$run" = run ]; then
    for exe in consumer_mingw consumer_msvclib; do
        "$here/winerun" --arch "$arch" -- "$out/$exe.exe"
    done
    # The one example that needs no one at the window: copy and paste.
    cp "$out"/*.dll "$out/examples/"
    "$here/winerun" --arch "$arch" -- "$out/examples/clipboard.exe"
fi
