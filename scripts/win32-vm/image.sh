#!/usr/bin/env bash
# Makes the test guest's disk image in OUT (a new, empty folder): a minimal Debian with 32-bit and 64-bit
# Wine, a Japanese locale and font, Xvfb, and a Wine prefix whose 32-bit half is filled on a first boot.
# OUT receives root.img (ext4, sparse), vmlinuz and initrd.img. The cache key in win32-vm.sh covers this file
# and init.sh: change either and the image is made again.
#   image.sh OUT
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
root="$out/root"
mirror=http://deb.debian.org/debian
packages=(linux-image-amd64 initramfs-tools wine wine32:i386 wine64 xvfb x11-utils locales fonts-ipafont-gothic
          fonts-wine)
image_size=5G

stamp() { echo "image: $(date +%T) $*"; }
t0=$(date +%s)
lap() { local n; n=$(date +%s); echo "image: stage $1 took $((n - t0)) s"; t0=$n; }

mounted=()
cleanup() {
  local m
  for m in $(printf '%s\n' "${mounted[@]}" | tac); do umount -l "$m" 2>/dev/null || true; done
  mounted=()
}
trap cleanup EXIT
in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive \
    LANG=C.UTF-8 "$@"
}

stamp "root folder by debootstrap"
debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror" >"$out/debootstrap.log" 2>&1 \
  || { tail -20 "$out/debootstrap.log"; exit 1; }
lap debootstrap

for m in proc sys dev dev/pts; do
  case $m in
    proc) mount -t proc proc "$root/proc" ;;
    sys) mount -t sysfs sys "$root/sys" ;;
    dev) mount --bind /dev "$root/dev" ;;
    dev/pts) mount -t devpts devpts "$root/dev/pts" ;;
  esac
  mounted+=("$root/$m")
done
# No services start inside the chroot; no documentation is unpacked.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
cat >"$root/etc/dpkg/dpkg.cfg.d/01-korven-nodoc" <<'CFG'
path-exclude /usr/share/doc/*
path-exclude /usr/share/man/*
path-exclude /usr/share/info/*
CFG

# Nothing here needs to survive a crash of the build: no fsync per unpacked file.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/02-korven-unsafe-io"

stamp "guest packages: ${packages[*]}"
in_root dpkg --add-architecture i386
in_root apt-get update -q >"$out/apt.log" 2>&1
# The initrd holds only what mounts the root disk: small to make, and quick to unpack under emulation.
in_root apt-get install -y -q --no-install-recommends initramfs-tools >>"$out/apt.log" 2>&1 \
  || { tail -30 "$out/apt.log"; exit 1; }
printf 'virtio_pci\nvirtio_blk\next4\n' >>"$root/etc/initramfs-tools/modules"
echo MODULES=list >"$root/etc/initramfs-tools/conf.d/korven"
# i386 maintainer scripts fail here with "Exec format error" (no 32-bit code runs on this kernel); apt carries
# on and Wine does not need what they would have made.
in_root apt-get install -y -q --no-install-recommends "${packages[@]}" >>"$out/apt.log" 2>&1 \
  || { tail -30 "$out/apt.log"; exit 1; }
in_root apt-get clean
rm -rf "$root"/var/lib/apt/lists/* "$root/usr/sbin/policy-rc.d" "$root/etc/dpkg/dpkg.cfg.d/02-korven-unsafe-io"
lap packages

stamp "ja_JP.UTF-8"
sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' "$root/etc/locale.gen"
in_root locale-gen >/dev/null
lap locale

stamp "Wine prefix (64-bit half, made here with 64-bit Wine)"
# Abstract X sockets are shared with the host: take a display number nobody uses.
for n in $(seq 150 199); do
  grep -q "@/tmp/.X11-unix/X$n\$" /proc/net/unix || break
done
in_root LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEPREFIX=/root/.wine WINEARCH=win64 \
  WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY=":$n" /bin/sh -c '
    Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    x=$!
    for i in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    timeout 300 /usr/lib/wine/wine64 wineboot -i
    # No window manager in the guest: Wine draws frames and title bars itself.
    /usr/lib/wine/wine64 reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f
    /usr/lib/wine/wine64 reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f
    timeout 60 /usr/lib/wine/wineserver64 -w
    kill $x' >"$out/prefix.log" 2>&1
grep -q '"Managed"="N"' "$root/root/.wine/user.reg" || { echo "image: the Wine prefix was not made"; exit 1; }
lap prefix
cleanup

install -m 755 "$here/init.sh" "$root/sbin/korven-init"
cp "$(ls "$root"/boot/vmlinuz-* | tail -1)" "$out/vmlinuz"
cp "$(ls "$root"/boot/initrd.img-* | tail -1)" "$out/initrd.img"
# Drivers for hardware the guest does not have; the initrd already holds what it boots with.
rm -rf "$root"/lib/modules/*/kernel/{sound,drivers/gpu,drivers/media,drivers/net,drivers/infiniband,drivers/staging}

stamp "ext4 image"
mke2fs -q -t ext4 -L korven -d "$root" "$out/root.img" "$image_size"
lap ext4
rm -rf --one-file-system "$root"

stamp "first boot: the prefix's 32-bit half"
timeout -k 10 600 qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 4096 \
  -kernel "$out/vmlinuz" -initrd "$out/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/korven-init korven=firstboot korven_limit=540 panic=10" \
  -drive file="$out/root.img",format=raw,if=virtio -display none -serial file:"$out/firstboot-serial.log" \
  -monitor none -no-reboot -nic none >"$out/qemu.log" 2>&1 || { echo "image: first boot failed"; exit 1; }
e2fsck -fy "$out/root.img" >"$out/fsck.log" 2>&1 || [ $? -le 1 ] || { echo "image: file system damaged"; exit 1; }
debugfs -R "cat /var/log/korven-firstboot.log" "$out/root.img" >"$out/firstboot.log" 2>/dev/null
cat "$out/firstboot.log"
files=$(sed -nE 's/^syswow64 files: ([0-9]+)$/\1/p' "$out/firstboot.log")
[ "${files:-0}" -gt 500 ] && grep -q '^korven-32-bit-ok' "$out/firstboot.log" \
  || { echo "image: 32-bit Wine does not run in the guest"; exit 1; }
lap firstboot
