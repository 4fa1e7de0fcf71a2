#!/bin/sh
# PID 1 of the test guest (baked into the image as /sbin/korven-init). Mounts what a system needs, then either
# fills the Wine prefix's 32-bit half (korven=firstboot, once while the image is made) or runs the script on
# the second disk (korven=run). Always powers off, at the latest when korven_limit seconds have passed.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
# The initrd hands over /proc, /sys and /dev already mounted.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sys /sys
mountpoint -q /dev || mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs run /run
mount -t tmpfs tmp /tmp
hostname korven-guest

mode=run limit=600
for w in $(cat /proc/cmdline); do
  case $w in
    korven=*) mode=${w#korven=} ;;
    korven_limit=*) limit=${w#korven_limit=} ;;
  esac
done

off() {
  sync
  umount /mnt/k 2>/dev/null
  mount -o remount,ro / 2>/dev/null
  sync
  echo o >/proc/sysrq-trigger
  sleep 30
}
# The watchdog: whatever hangs, the guest ends.
( sleep "$limit"; echo "korven-init: watchdog after $limit s, powering off" >/dev/console; off ) &

export HOME=/root LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 WINEPREFIX=/root/.wine WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
echo "korven-init: $mode, limit $limit s" >/dev/console
if [ "$mode" = firstboot ]; then
  # The prefix was made by 64-bit Wine, which cannot run the 32-bit rundll32 that fills syswow64.
  log=/var/log/korven-firstboot.log
  {
    Xvfb :1 -screen 0 1024x768x24 -nolisten tcp -nocursor >/dev/null 2>&1 &
    export DISPLAY=:1
    for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    WINEBOOTSTRAPMODE=1 timeout 300 wine 'C:\windows\syswow64\rundll32.exe' setupapi,InstallHinfSection \
      Wow64Install 128 'Z:\usr\share\wine\wine.inf'
    timeout 60 wineserver -w
    echo "syswow64 files: $(ls /root/.wine/drive_c/windows/syswow64 | wc -l)"
    timeout 120 wine 'C:\windows\syswow64\cmd.exe' /c echo korven-32-bit-ok
    timeout 60 wineserver -w
    kill %1 2>/dev/null
  } >$log 2>&1
  tail -5 $log >/dev/console
else
  mkdir -p /mnt/k
  if mount /dev/vdb /mnt/k; then
    mkdir -p /mnt/k/results
    timeout -k 5 $((limit - 15)) /bin/bash /mnt/k/guest-run.sh /mnt/k >/mnt/k/results/guest.log 2>&1
    echo "korven-init: guest run ended with $?" >/dev/console
  else
    echo "korven-init: no second disk" >/dev/console
  fi
fi
off
