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
# A process maps the system's compiled locales once: a shell started before setup.sh generated Japanese cannot
# switch to it, and warns so when wine-env.sh sets it. The rest runs in a new shell.
if [ -z "${KORVEN_SETUP_RAN:-}" ]; then
  export KORVEN_TEST_T0=$(date +%s)
  if ! bash scripts/setup.sh; then
    echo "setup failed: what the tests need could not be installed"
    echo "0 passed, 1 failed"
    exit 1
  fi
  KORVEN_SETUP_RAN=1 exec bash "$root/scripts/test.sh" "$@"
fi
unset KORVEN_SETUP_RAN
# Each stage's header says how long the run has taken so far, for the time budget.
stage() { echo "== $* (at $(($(date +%s) - ${KORVEN_TEST_T0:-$(date +%s)})) s)"; }
stage build
bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
# Prints "status name" for each test in one of ctest's JUnit reports; status is run, fail, notrun, disabled, or
# skipped for a skip the test declared (ctest's own summary counts that one as passed). Fails on a missing or
# unreadable report.
junit_tests() {
  python3 - "$1" <<'PY'
import sys
import xml.etree.ElementTree as ET
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    status = case.get("status", "fail")
    skip = case.find("skipped")
    if status == "notrun" and skip is not None and skip.get("message", "").startswith("SKIP_"):
        status = "skipped"
    print(status, case.get("name"))
PY
}

# Adds one ctest run's tests as its summary counts them (a disabled test does not count). A run that left no
# report, or one without tests, counts as one failure.
count_ctest() {
  local tests status name
  tests=$(junit_tests "$1" 2>/dev/null)
  if [ -z "$tests" ]; then failed=$((failed + 1)); return; fi
  while read -r status name; do
    case $status in
      run|skipped) passed=$((passed + 1)) ;;
      disabled) ;;
      *) failed=$((failed + 1)) ;;
    esac
  done <<<"$tests"
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

stage native tests
rm -f build/native-tests.xml
(cd build/native && ctest --output-on-failure -j2 --output-junit "$root/build/native-tests.xml") 2>&1 \
  | tee build/native-tests.log
count_ctest build/native-tests.xml

if [ -x scripts/fuzz.sh ]; then
  stage "fuzzer (${KORVEN_FUZZ_SECONDS:-30} s)"
  if bash scripts/fuzz.sh "${KORVEN_FUZZ_SECONDS:-30}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi

stage Windows tests under Wine
# Every GoogleTest case is counted from the reports the executables leave; the black-box scripts leave a
# results file each. Which tests ran, and whether each passed, comes from ctest's JUnit reports.
xml="$root/build/win-reports"
rm -rf "$xml" build/win/blackbox/results-*.txt build/win64/blackbox/results-*.txt build/win-tests*.xml
mkdir -p "$xml"
export GTEST_OUTPUT="xml:Z:${xml//\//\\}\\"
source scripts/wine-env.sh
source scripts/xvfb.sh
korven_start_xvfb || { echo "0 passed, 1 failed"; exit 1; }
trap 'wineserver -k 2>/dev/null; korven_stop_xvfb' EXIT
korven_wine_prefix || { echo "$passed passed, $((failed + 1)) failed"; exit 1; }
: >build/win-tests.log
junits=()
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  echo "This machine runs no 32-bit code: the Windows-side tests run the 64-bit build of the same sources under"
  echo "64-bit Wine; the shipped 32-bit dist/KORVEN.exe is checked without being run."
  (cd build/win && ctest --output-on-failure -L shipped --output-junit "$root/build/win-tests-shipped.xml") 2>&1 \
    | tee -a build/win-tests.log
  junits+=("$root/build/win-tests-shipped.xml")
fi
# The in-process suites run beside the black-box tests, on a display and a copy of the prefix of their own: the
# scale test restarts its prefix's Wine server, and the real input must not land on their windows.
inproc_prefix="$WINEPREFIX-inproc"
rm -rf "$inproc_prefix" && cp -a "$WINEPREFIX" "$inproc_prefix"
(
  KORVEN_XVFB_PID=""
  korven_start_xvfb || exit 1
  export KORVEN_WINEPREFIX=$inproc_prefix WINEPREFIX=$inproc_prefix
  trap 'wineserver -k 2>/dev/null; korven_stop_xvfb' EXIT
  cd "$KORVEN_WIN_BUILD" && ctest --output-on-failure -E '^blackbox_' --output-junit "$root/build/win-tests-inproc.xml"
) >build/win-tests-inproc.log 2>&1 &
inproc=$!
(cd "$KORVEN_WIN_BUILD" && ctest --output-on-failure -R '^blackbox_' --output-junit "$root/build/win-tests.xml") 2>&1 \
  | tee -a build/win-tests.log
wait $inproc
tee -a build/win-tests.log <build/win-tests-inproc.log
junits+=("$root/build/win-tests-inproc.xml" "$root/build/win-tests.xml")
unset GTEST_OUTPUT
for junit in "${junits[@]}"; do
  # A ctest run that left no report, or ran nothing: its tests are unknown, and that is one failure.
  tests=$(junit_tests "$junit" 2>/dev/null)
  if [ -z "$tests" ]; then failed=$((failed + 1)); continue; fi
  while read -r status name; do
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
      if [ "$status" = run ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    else
      count_gtest "$report" "$([ "$status" = run ] && echo 0 || echo 1)"
    fi
  done <<<"$tests"
done

if [ "$KORVEN_WINE_BITS" = 64 ] && [ -z "${KORVEN_NO_WIN32_VM:-}" ]; then
  stage the shipped 32-bit KORVEN.exe and the 32-bit suites in a virtual machine
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

stage end
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
