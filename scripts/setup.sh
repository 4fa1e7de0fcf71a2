#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12; does nothing that is already done.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

pkgs=(cmake g++ make ccache git pkg-config googletest mingw-w64 wine wine32:i386 wine64 xvfb xdotool x11-utils strace
      imagemagick locales fonts-ipafont-gothic clang libclang-rt-14-dev nlohmann-json3-dev libpng-dev
      libeigen3-dev python3 python3-pytest python3-pil python3-numpy zip)

# A mirror in the middle of a sync fails one index now and then: try again, and go on with the lists there are
# (the install below says so if a package is really missing).
# Once a run: the lists the first call got serve the second install as well.
updated=""
apt_update() {
  local n
  [ -z "$updated" ] || return 0
  updated=1
  for n in 1 2 3; do
    $SUDO apt-get update -q && return 0
    echo "setup: apt-get update failed (try $n of 3)"
    sleep $((n * 10))
  done
  return 0
}

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then $SUDO dpkg --add-architecture i386; fi
  apt_update
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"; then
    # Where one architecture's security index could not be fetched, the 32-bit libraries exist only at the main
    # suite's versions, while the 64-bit ones would be upgraded past them; both must be the same version. Taking
    # the main suite's versions for this one install keeps the two in step.
    echo "setup: installing again with the main suite's versions preferred"
    pin=/etc/apt/preferences.d/korven-setup-main-first
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' | $SUDO tee "$pin" >/dev/null
    rc=0
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}" || rc=$?
    $SUDO rm -f "$pin"
    [ "$rc" -eq 0 ] || exit "$rc"
  fi
fi

# Wine shows empty boxes for Japanese unless the locale exists before the prefix is made.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating ja_JP.UTF-8"
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

# Where no 32-bit code runs, the shipped 32-bit program runs in a virtual machine (scripts/win32-vm.sh).
if [ "${KORVEN_WINE_BITS:-}" = 64 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  vm_missing=()
  for p in qemu-system-x86 qemu-utils debootstrap e2fsprogs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || vm_missing+=("$p")
  done
  if [ ${#vm_missing[@]} -gt 0 ]; then
    echo "setup: installing ${vm_missing[*]}"
    apt_update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${vm_missing[@]}"
  fi
fi
