#!/usr/bin/env bash
# Installs the build and test tools of this project with apt-get, only those
# that are missing.  Safe to run again: with everything present it makes no
# change and takes well under a second.  Prints one line saying what it did.
set -euo pipefail

# Cross compilers, Wine of both architectures (wine32:i386 runs the i686
# build; it needs the i386 architecture added to dpkg) and a virtual X server
# for the tests, the build tools,
# googletest's sources and zlib for the target, doxygen for the API reference;
# Ghostscript renders the printing tests' PostScript jobs (and the demo's
# printed page); gcovr reports the coverage of the instrumented tree (with
# the cross compilers' own gcov).
PACKAGES=(
    g++-mingw-w64-x86-64
    g++-mingw-w64-i686
    wine64
    wine32:i386
    xvfb
    xauth
    cmake
    ninja-build
    googletest
    libz-mingw-w64-dev
    doxygen
    ghostscript
    gcovr
)

missing=()
# One dpkg-query for all; packages it has never heard of print nothing.
declare -A installed=()
while read -r name status; do
    [[ $status == "install ok installed" ]] && installed[$name]=1
done < <(dpkg-query -W -f='${binary:Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)
for p in "${PACKAGES[@]}"; do
    [[ -n ${installed[$p]:-} ]] || missing+=("$p")
done

# llvm only for llvm-dlltool (MSVC-style import libraries); any llvm that
# provides it will do.
need_llvm=0
command -v llvm-dlltool >/dev/null 2>&1 || need_llvm=1

if ((${#missing[@]} == 0 && need_llvm == 0)); then
    echo "setup: all ${#PACKAGES[@]} packages and llvm-dlltool already present"
    exit 0
fi

SUDO=()
if ((EUID != 0)); then
    command -v sudo >/dev/null 2>&1 || { echo "setup: must run as root (no sudo)" >&2; exit 1; }
    SUDO=(sudo)
fi

log=$(mktemp "${TMPDIR:-/tmp}/zvdisp-setup.XXXXXX.log")
fail() {
    echo "setup: $1 failed; last lines of $log:" >&2
    tail -n 20 "$log" >&2
    exit 1
}

export DEBIAN_FRONTEND=noninteractive
# Packages of another architecture come only once dpkg knows it.
for p in "${missing[@]}"; do
    [[ $p == *:* ]] || continue
    dpkg --print-foreign-architectures | grep -qx "${p#*:}" ||
        "${SUDO[@]}" dpkg --add-architecture "${p#*:}" >>"$log" 2>&1 ||
        fail "dpkg --add-architecture ${p#*:}"
done
# An index that is being synced upstream can make update fail while the rest
# is usable: go on and let the install say whether it matters.
"${SUDO[@]}" apt-get update >>"$log" 2>&1 || true

# wine64 keeps its recommends: without them (fonts-liberation among them)
# Wine falls back to DejaVu for every face and text renders with other
# metrics than on the machines where the project's tests were measured.
if ((${#missing[@]})); then
    "${SUDO[@]}" apt-get install -y "${missing[@]}" >>"$log" 2>&1 ||
        fail "apt-get install ${missing[*]}"
fi
# llvm's recommends are hundreds of MB of development files, not needed here.
if ((need_llvm)); then
    "${SUDO[@]}" apt-get install -y --no-install-recommends llvm >>"$log" 2>&1 ||
        fail "apt-get install llvm"
    missing+=(llvm)
fi

rm -f "$log"
echo "setup: installed ${missing[*]}"
