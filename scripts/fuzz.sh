#!/usr/bin/env bash
# Builds the settings-file fuzzer (clang, libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs it for SECONDS (default 30) on the corpus kept in build/fuzz/corpus, which grows run by run.
#   bash scripts/fuzz.sh        # the short run the test command makes
#   bash scripts/fuzz.sh 600    # a longer run on demand
# Prints the number of executions; exits non-zero on a crash, leaving the input in build/fuzz/crash-*.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
out=${KORVEN_FUZZ_DIR:-$root/build/fuzz}
mkdir -p "$out/corpus"
cc=$(command -v clang || command -v clang-14 || true)
cxx=$(command -v clang++ || command -v clang++-14 || true)
[ -n "$cc" ] && [ -n "$cxx" ] || { echo "fuzz: clang++ not found (apt-get install clang)"; exit 1; }

# The fuzz target and the library it links come from the project's CMake files, in a build of their own. -O1 as
# libFuzzer advises, and no NDEBUG. Only ini_fuzz is built, and only what changed since the last run.
build="$out/cmake"
binary="$build/tests/fuzz/ini_fuzz"
if ! { cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DKORVEN_FUZZ=ON \
         -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
       && cmake --build "$build" --target ini_fuzz -j"$(nproc)"; } >"$out/build.log" 2>&1; then
  tail -30 "$out/build.log"
  echo "fuzz: build failed, log in $out/build.log"
  exit 1
fi

# Seeds the first time: a settings file as shipped, and a few damaged ones.
if [ -z "$(ls -A "$out/corpus")" ]; then
  printf '\x01\x01\x04AX1234[A]\r\nX=3000\r\nY=-450\r\nC=FF\r\n' >"$out/corpus/basic"
  printf '\x02\x01\x03\x93\x8c\x8b\x9eXabc[\x93\x8c\x8b\x9e]\r\nX= 12.5 \r\n[\x83\x5d\r\n[\x83\x61]\r\nX="q"\r\n' >"$out/corpus/dbcs"
  printf '\x01\x01\x02AXzz\xef\xbb\xbf[A]\rX=\x81\nY=1e400\x00\x1a\r\n[broken\r\nX' >"$out/corpus/damaged"
fi

log="$out/last-run.log"
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
  -dict="$root/tests/fuzz/ini.dict" -artifact_prefix="$out/" "$out/corpus" >"$log" 2>&1
rc=$?
execs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
echo "fuzz: ${execs:-0} executions (run of up to $seconds s; corpus $(ls "$out/corpus" | wc -l) inputs)"
if [ $rc -ne 0 ]; then
  grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -20
  echo "fuzz: FAILED (exit $rc), log in $log"
fi
exit $rc
