#!/usr/bin/env bash
# Builds both flavours: native (window-free code and its tests, with sanitizers) and Windows (KORVEN.exe and
# the tests that run under Wine). dist/ receives KORVEN.exe and KORVEN.ini.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
# A compiler cache outside the clone: a new clone on a machine that built before compiles only what changed.
# Paths are taken relative to the clone, so that clones in other folders share it.
launcher=()
if command -v ccache >/dev/null; then
  cache=/var/cache/korven-ccache
  mkdir -p "$cache" 2>/dev/null && [ -w "$cache" ] || cache="${XDG_CACHE_HOME:-$HOME/.cache}/korven-ccache"
  export CCACHE_DIR=${CCACHE_DIR:-$cache} CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$root/build/native" -j"$jobs"
cmake -S "$root" -B "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$root/build/win" -j"$jobs"
# Where this machine cannot run 32-bit code, the tests run a 64-bit build of the same sources (wine-env.sh).
source "$root/scripts/wine-env.sh"
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  cmake -S "$root" -B "$root/build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKORVEN_DIST="$root/build/win64/dist" \
        -DKORVEN_SHIPPED_EXE="$root/dist/KORVEN.exe" "${launcher[@]}" >/dev/null
  cmake --build "$root/build/win64" -j"$jobs"
fi
