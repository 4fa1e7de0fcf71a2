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

# Every runner leaves JUnit reports; tests/junit_tally.py adds them up into the closing line (see there).
reports=()
py=/usr/bin/python3  # Debian's, whose packages bring pytest, Pillow and numpy

stage native tests
rm -f build/native-tests.xml
(cd build/native && ctest --output-on-failure -j2 --output-junit "$root/build/native-tests.xml") 2>&1 \
  | tee build/native-tests.log
reports+=(build/native-tests.xml)

if [ -x scripts/fuzz.sh ]; then
  stage "fuzzer (${KORVEN_FUZZ_SECONDS:-30} s)"
  bash scripts/fuzz.sh "${KORVEN_FUZZ_SECONDS:-30}"
  reports+=("exit:fuzzer=$?")
fi

stage Windows tests under Wine
# Each GoogleTest executable and each black-box file leaves its report in reports/ under its ctest name; which
# ran, and whether each passed, comes from ctest's own reports.
source scripts/wine-env.sh
source scripts/xvfb.sh
xml="$KORVEN_WIN_BUILD/reports"
rm -rf "$xml" build/win-tests*.xml
mkdir -p "$xml"
export GTEST_OUTPUT="xml:Z:${xml//\//\\}\\"
korven_start_xvfb || { echo "0 passed, 1 failed"; exit 1; }
trap 'wineserver -k 2>/dev/null; korven_stop_xvfb' EXIT
korven_wine_prefix || { reports+=("exit:wine-prefix=1"); "$py" tests/junit_tally.py "${reports[@]}"; exit 1; }
: >build/win-tests.log
if [ "$KORVEN_WINE_BITS" = 64 ]; then
  echo "This machine runs no 32-bit code: the Windows-side tests run the 64-bit build of the same sources under"
  echo "64-bit Wine; the shipped 32-bit dist/KORVEN.exe is checked without being run."
  (cd build/win && ctest --output-on-failure -L shipped --output-junit "$root/build/win-tests-shipped.xml") 2>&1 \
    | tee -a build/win-tests.log
  reports+=("build/win-tests-shipped.xml:$xml")
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
reports+=("build/win-tests-inproc.xml:$xml" "build/win-tests.xml:$xml")
unset GTEST_OUTPUT

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
    reports+=("exit:win32-vm=$vm_rc")
  fi
  "$py" -m pytest -p no:cacheprovider -q tests/blackbox/shipped_in_guest.py --results "$vm/results" \
    --ini dist/KORVEN.ini --out "$vm" --junitxml="$vm/shipped_in_guest.xml"
  reports+=("$vm/shipped_in_guest.xml")
  for s in $(cat "$vm/suites.txt" 2>/dev/null); do
    rc=$(awk -v s="$s" '$1 == s { print $2 }' "$vm/results/steps.txt" 2>/dev/null)
    echo "32-bit $s: $("$py" tests/junit_tally.py "$vm/results/xml/$s.xml=${rc:-1}")"
    reports+=("$vm/results/xml/$s.xml=${rc:-1}")
  done
fi

stage end
"$py" tests/junit_tally.py "${reports[@]}"
