#!/usr/bin/env bash
# Builds both flavours: native (window-free code and its tests, with sanitizers) and Windows (KORVEN.exe and
# the tests that run under Wine). dist/ receives KORVEN.exe and KORVEN.ini.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j"$jobs"
cmake -S "$root" -B "$root/build/win" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/win" -j"$jobs"
# Where this machine cannot run 32-bit code, the tests run a 64-bit build of the same sources (wine-env.sh).
source "$root/scripts/wine-env.sh"
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  cmake -S "$root" -B "$root/build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKORVEN_DIST="$root/build/win64/dist" \
        -DKORVEN_SHIPPED_EXE="$root/dist/KORVEN.exe" >/dev/null
  cmake --build "$root/build/win64" -j"$jobs"
fi
