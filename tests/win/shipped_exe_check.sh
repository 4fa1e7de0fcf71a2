#!/usr/bin/env bash
# What a person copies to Windows, checked without running it: dist/KORVEN.exe is a stripped 32-bit GUI
# program of at most 2.5 MB that imports only what comes with Windows, and the KORVEN.ini beside it is the
# shipped layout.
#   shipped_exe_check.sh <objdump> <dist dir> <shipped ini>
set -uo pipefail
export LC_ALL=C  # objdump speaks the locale's language otherwise
objdump=$1 dist=$2 shipped_ini=$3
exe="$dist/KORVEN.exe"
bad=0
fail() { echo "FAIL: $*"; bad=$((bad + 1)); }

[ -f "$exe" ] || { echo "FAIL: $exe is missing"; exit 1; }
header=$("$objdump" -p "$exe")
grep -q 'file format pei-i386' <<<"$header" || fail "not a 32-bit x86 program"
grep -Eq '^Magic[[:space:]]+010b' <<<"$header" || fail "not PE32"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$header" || fail "not a Windows GUI program"
allowed=" comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll "
imports=$(sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' <<<"$header" | tr 'A-Z' 'a-z')
[ -n "$imports" ] || fail "no imports read"
for dll in $imports; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, which Windows does not ship"
done
if "$objdump" -h "$exe" | grep -q '\.debug_'; then fail "carries debug sections"; fi
if [ -f "$shipped_ini" ]; then
  cmp -s "$shipped_ini" "$dist/KORVEN.ini" || fail "KORVEN.ini beside the program is not the shipped layout"
fi
size=$(stat -c %s "$exe")
[ "$size" -le 2500000 ] || fail "KORVEN.exe is $size bytes, more than 2.5 MB"
echo "KORVEN.exe: $size bytes; imports: $(echo $imports)"
[ "$bad" -eq 0 ]
