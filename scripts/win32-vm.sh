#!/usr/bin/env bash
# Runs the shipped 32-bit KORVEN.exe and the 32-bit Windows-side suites where this machine's kernel runs no
# 32-bit code: in a Debian guest under qemu's software emulation, whose kernel does.
#   win32-vm.sh image               makes the guest image unless the cache already holds it
#   win32-vm.sh run OUT [--all]     boots a throwaway copy of it with dist/ and the 32-bit build (build/win);
#                                   results land in OUT/results. Without --all only the suites in
#                                   KORVEN_WIN32_SUITES (default below) run.
# The image is cached outside the clone (KORVEN_VM_CACHE, default /var/cache/korven-win32-vm) under a hash of
# what makes it, so later runs and other clones on this machine reuse it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
here="$root/scripts/win32-vm"
cache=${KORVEN_VM_CACHE:-/var/cache/korven-win32-vm}
key=$(cat "$here/image.sh" "$here/init.sh" | sha256sum | cut -c1-16)
img="$cache/$key"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

ensure_image() {
  [ -f "$img/ready" ] && return 0
  $SUDO mkdir -p "$cache"
  # One builder at a time; whoever waited finds the image made.
  exec 9>>"$cache/lock"
  flock 9
  if [ ! -f "$img/ready" ]; then
    echo "win32-vm: making the guest image in $img (once; about 8 minutes)"
    local t0 m d
    t0=$(date +%s)
    # Leftovers of an interrupted build may still have the chroot's mounts.
    for m in $(findmnt -rn -o TARGET | grep "^$cache/" | sort -r); do $SUDO umount -l "$m" || true; done
    for d in "$cache"/*/; do [ -d "$d" ] && $SUDO rm -rf --one-file-system "$d"; done
    $SUDO mkdir -p "$cache/building"
    if ! $SUDO bash "$here/image.sh" "$cache/building"; then
      echo "win32-vm: making the image failed; logs in $cache/building"
      return 1
    fi
    $SUDO rm -rf --one-file-system "$cache/building/root"
    $SUDO mv "$cache/building" "$img"
    $SUDO touch "$img/ready"
    echo "win32-vm: image made in $(($(date +%s) - t0)) s; $(du -sh "$cache" | cut -f1) in $cache"
  fi
  flock -u 9
}

# The suites the default test command runs in the guest; --all runs every 32-bit suite.
# startup_test alone takes over ten minutes under emulation (about a minute per start-up it makes).
default_suites=${KORVEN_WIN32_SUITES:-"shaping_test piece_window_test version_resource_test"}

run_guest() {
  local out=$1 all=${2:-} win="$root/build/win" suites suite_limit s exe limit rc t0
  ensure_image
  out=$(mkdir -p "$out" && cd "$out" && pwd)
  rm -rf "$out/results" "$out/disk" "$out/data.img" "$out/overlay.qcow2"
  for f in "$root/dist/KORVEN.exe" "$root/dist/KORVEN.ini" "$win/tests/blackbox/probe.exe"; do
    [ -f "$f" ] || { echo "win32-vm: $f is missing (bash scripts/build.sh)"; return 1; }
  done
  if [ "$all" = --all ]; then
    suites=$(cd "$win/tests/win" && ls *.exe | sed 's/\.exe$//' | tr '\n' ' ')
    suite_limit=1200
  else
    suites=$default_suites
    suite_limit=240
  fi
  mkdir -p "$out/disk/tests"
  cp "$root/dist/KORVEN.exe" "$root/dist/KORVEN.ini" "$win/tests/blackbox/probe.exe" "$here/guest-run.sh" "$out/disk/"
  for s in $suites; do
    [ -f "$win/tests/win/$s.exe" ] || { echo "win32-vm: no suite $s in $win/tests/win"; return 1; }
    cp "$win/tests/win/$s.exe" "$out/disk/tests/"
  done
  # version_resource_test reads the program from where it was built.
  exe=$(sed -nE 's/^KORVEN_SHIPPED_EXE:FILEPATH=(.*)$/\1/p' "$win/CMakeCache.txt")
  printf 'exe_path=%q\nsuites=%q\nsuite_limit=%q\n' "${exe:-$root/dist/KORVEN.exe}" "$suites" "$suite_limit" \
    >"$out/disk/params"
  echo "$suites" >"$out/suites.txt"
  mke2fs -q -t ext4 -L results -d "$out/disk" "$out/data.img" 1G
  # The cached image stays clean: the guest writes to an overlay that is thrown away.
  qemu-img create -q -f qcow2 -b "$img/root.img" -F raw "$out/overlay.qcow2"
  # Boot and the map take one to three minutes under emulation (more on a busy host); each suite its limit.
  limit=$((400 + suite_limit * $(wc -w <<<"$suites")))
  limit=$((limit > 5400 ? 5400 : limit))
  echo "win32-vm: booting the guest (suites: $suites; at most $limit s)"
  t0=$(date +%s)
  rc=0
  timeout -k 10 $((limit + 60)) qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 4096 \
    -kernel "$img/vmlinuz" -initrd "$img/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet init=/sbin/korven-init korven=run korven_limit=$limit panic=10" \
    -drive file="$out/overlay.qcow2",format=qcow2,if=virtio -drive file="$out/data.img",format=raw,if=virtio \
    -display none -serial file:"$out/serial.log" -monitor none -no-reboot -nic none >"$out/qemu.log" 2>&1 || rc=$?
  echo "win32-vm: guest ran $(($(date +%s) - t0)) s"
  rm -f "$out/overlay.qcow2"
  if [ "$rc" -ne 0 ]; then
    echo "win32-vm: FAIL: the guest did not finish (qemu exit status $rc$([ $rc = 124 ] && echo ", timed out"))"
    tail -5 "$out/serial.log" "$out/qemu.log"
  fi
  # A guest cut short leaves the file system dirty; debugfs reads it once repaired.
  e2fsck -fy "$out/data.img" >"$out/fsck.log" 2>&1 || true
  debugfs -R "rdump /results $out" "$out/data.img" >/dev/null 2>&1 || true
  rm -rf "$out/disk" "$out/data.img"
  if [ ! -f "$out/results/steps.txt" ]; then
    echo "win32-vm: FAIL: the guest left no results"
    return 1
  fi
  grep -q 'watchdog' "$out/serial.log" && echo "win32-vm: FAIL: the guest's watchdog ended the run" && rc=1
  echo "win32-vm: steps (name, exit status, ms):"
  sed 's/^/  /' "$out/results/steps.txt"
  return $rc
}

case "${1:-}" in
  image) ensure_image ;;
  run) shift; [ $# -ge 1 ] || { echo "usage: win32-vm.sh run OUT [--all]" >&2; exit 2; }; run_guest "$@" ;;
  *) echo "usage: win32-vm.sh image | run OUT [--all]" >&2; exit 2 ;;
esac
