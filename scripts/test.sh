#!/usr/bin/env bash
# Builds and runs every test: native suites, the fuzzer (briefly), and the Windows-side suites and black-box
# tests under Wine on a private virtual display. Ends with one line: "N passed, N failed".
#   test.sh [--win32-all]   --win32-all: where the 32-bit program runs in a virtual machine (below), every
#                           32-bit suite runs there, not only the default few.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
win32_all=""
for a in "$@"; do
  case $a in
    --win32-all) win32_all=--all ;;
    *) echo "usage: test.sh [--win32-all]" >&2; exit 2 ;;
  esac
done
bash scripts/setup.sh
bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
# Adds the counts of one ctest run from its summary line.
count_ctest() {
  local log=$1 line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

# Adds the cases of one GoogleTest report; an executable that failed without saying so in its report, or died
# before writing it, counts as one more failure.
count_gtest() {
  local report=$1 status=$2 cases bad
  if [ ! -f "$report" ]; then failed=$((failed + 1)); return; fi
  cases=$(grep -o '<testcase ' "$report" | wc -l)
  bad=$(grep -c '<failure' "$report" || true)
  passed=$((passed + cases - bad)); failed=$((failed + bad))
  [ "$status" != 0 ] && [ "$bad" -eq 0 ] && failed=$((failed + 1))
  return 0
}

echo "== native tests"
(cd build/native && ctest --output-on-failure -j2) 2>&1 | tee build/native-tests.log
count_ctest build/native-tests.log

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzer (${KORVEN_FUZZ_SECONDS:-30} s)"
  if bash scripts/fuzz.sh "${KORVEN_FUZZ_SECONDS:-30}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi

echo "== Windows tests under Wine"
# Every GoogleTest case is counted from the reports the executables leave; the black-box scripts leave a
# results file each. A test executable that died before writing its report counts as one failure.
xml="$root/build/win-reports"
rm -rf "$xml" build/win/blackbox/results-*.txt build/win64/blackbox/results-*.txt
mkdir -p "$xml"
export GTEST_OUTPUT="xml:Z:${xml//\//\\}\\"
source scripts/wine-env.sh
source scripts/xvfb.sh
korven_start_xvfb || { echo "0 passed, 1 failed"; exit 1; }
trap 'wineserver -k 2>/dev/null; korven_stop_xvfb' EXIT
korven_wine_prefix
: >build/win-tests.log
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  echo "This machine runs no 32-bit code: the Windows-side tests run the 64-bit build of the same sources under"
  echo "64-bit Wine; the shipped 32-bit dist/KORVEN.exe is checked without being run."
  (cd build/win && ctest --output-on-failure -L shipped) 2>&1 | tee -a build/win-tests.log
fi
(cd "$KORVEN_WIN_BUILD" && ctest --output-on-failure) 2>&1 | tee -a build/win-tests.log
unset GTEST_OUTPUT
while read -r name status; do
  report="$xml/$name.xml"
  if [[ $name == blackbox_* ]]; then
    report="$KORVEN_WIN_BUILD/blackbox/results-${name#blackbox_}.txt"
    if [ -f "$report" ]; then
      read -r p f <"$report"
      passed=$((passed + p)); failed=$((failed + f))
    else
      failed=$((failed + 1))
    fi
  elif [[ $name == shipped_* ]]; then
    # A check of the shipped files, not a GoogleTest executable: one case.
    if [ "$status" = Passed ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  else
    count_gtest "$report" "$([ "$status" = Passed ] && echo 0 || echo 1)"
  fi
done < <(sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([A-Za-z0-9_]+) \.+ *(\*\*\*)?([A-Za-z]+).*/\1 \3/p' build/win-tests.log)


if [ "$KORVEN_WINE_BITS" = 64 ] && [ -z "${KORVEN_NO_WIN32_VM:-}" ]; then
  echo "== the shipped 32-bit KORVEN.exe and the 32-bit suites in a virtual machine"
  # The 64-bit build above runs the same sources; only a machine that runs 32-bit code runs what ships.
  vm="$root/build/win32-vm"
  rm -rf "$vm"
  mkdir -p "$vm"
  # qemu and its helpers keep a pipe open: the log is a file, followed while it grows.
  bash scripts/win32-vm.sh run "$vm" $win32_all >build/win32-vm.log 2>&1 &
  vm_pid=$!
  tail -n +1 -f --pid=$vm_pid build/win32-vm.log
  wait $vm_pid
  vm_rc=$?
  if [ "$vm_rc" -ne 0 ]; then
    echo "FAIL: the 32-bit run in the virtual machine did not complete (see build/win32-vm.log)"
    failed=$((failed + 1))
  fi
  python3 tests/blackbox/shipped_in_guest.py --results "$vm/results" --ini dist/KORVEN.ini --out "$vm"
  if [ -f "$vm/results-shipped_in_guest.txt" ]; then
    read -r p f <"$vm/results-shipped_in_guest.txt"
    passed=$((passed + p)); failed=$((failed + f))
  else
    failed=$((failed + 1))
  fi
  for s in $(cat "$vm/suites.txt" 2>/dev/null); do
    report="$vm/results/xml/$s.xml"
    rc=$(awk -v s="$s" '$1 == s { print $2 }' "$vm/results/steps.txt" 2>/dev/null)
    before=$failed
    count_gtest "$report" "${rc:-1}"
    if [ -f "$report" ]; then
      echo "32-bit $s: $(grep -o '<testcase ' "$report" | wc -l) cases, $((failed - before)) failed"
    else
      echo "FAIL: 32-bit $s left no report (exit status ${rc:-none}); see $vm/results/$s.log"
    fi
  done
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
