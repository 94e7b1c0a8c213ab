#!/usr/bin/env bash
# The SDK, one zip per architecture: builds both presets, installs each into
# out/sdk/zvdisp-<version>-<arch>/ (include/, bin/, lib/ with MinGW and MSVC
# import libraries and lib/cmake/zvdisp/, examples/, doc/api/) and zips it
# as out/zvdisp-<version>-<arch>.zip.  Prints the zips' paths.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >/dev/null
scripts/apidoc.sh >/dev/null
for preset in x64 i686; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "build/$preset/CMakeCache.txt")
    arch=$([ "$preset" = x64 ] && echo x86_64 || echo i686)
    name=zvdisp-$version-$arch
    tree=out/sdk/$name
    rm -rf "$tree" "out/$name.zip"
    cmake --install "build/$preset" --prefix "$tree" >/dev/null
    mkdir -p "$tree/doc" && cp -r out/api/html "$tree/doc/api"
    (cd out/sdk && cmake -E tar cf "../$name.zip" --format=zip "$name")
    echo "$PWD/out/$name.zip"
done
