#!/usr/bin/env bash
# Too little room on a drive of 20 MiB (a tmpfs mapped as D:). Too little at
# the start: the install question says which drive, how much is needed and
# how much is free, stays on screen, and nothing is written. A drive that
# another program fills during the install: the run is undone and the box
# says that the drive is full and nothing was changed. The drive needs a
# mount: as root, or else in a user and mount namespace of the test's own.
[ "$(id -u)" = 0 ] || [ -n "${Q_OWN_MOUNTS:-}" ] || ! unshare -Umc --keep-caps true 2>/dev/null ||
  Q_OWN_MOUNTS=1 exec unshare -Umc --keep-caps bash "$0" "$@"
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

SMALL=$WORK/small-drive
mkdir -p "$SMALL"
if ! mount -t tmpfs -o size=20m tmpfs "$SMALL" 2>/dev/null; then
  echo "SKIP: no tmpfs can be mounted here (neither root nor a user namespace)"; exit 77
fi
trap 'umount "$SMALL" 2>/dev/null' EXIT
ln -sfn "$SMALL" "$WINEPREFIX/dosdevices/d:"
DRIVE_D=$SMALL
pack_with_files "$WORK/dl/Big.exe" 1000        # 32 MiB of files
pack_with_files "$WORK/dl/Mid.exe" 400         # 12.5 MiB

before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Big.exe'
drv wait-setup 120 >/dev/null
drv set-edit 'D:\Quillon' >/dev/null
drv click Ja >/dev/null
box=$(drv answer OK 60)
echo "$box"
check "too little room: an error box" has_line 'caption:Fehler' "$box"
check "too little room: the drive, what is needed and what is free" \
  grep -qx 'text:Auf dem Laufwerk D:\\ ist nicht genug Platz frei.\\rBenötigt werden 3[0-9]\.[0-9] MB, frei sind [12][0-9]\.[0-9] MB.' <<<"$box"
window=$(drv dump)
check "too little room: the question stays with the folder entered" \
  bash -c 'grep -qx "button:Ja" <<<"$1" && grep -qxF "edit:D:\\Quillon" <<<"$1"' _ "$window"
same_prefix "too little room" "$before"
drv click Abbrechen >/dev/null
wait_exit 30

# Room at the check, but another program fills the drive during the run.
head -c $((5 << 20)) /dev/zero >"$SMALL/other-program.dat"
before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Mid.exe'
drv wait-setup 120 >/dev/null
drv set-edit 'D:\Quillon' >/dev/null
drv click Ja >/dev/null
# The drive is filled once the run writes its files, not before.
check "drive filled: the install is writing" wait_until 60 test -e "$SMALL/Quillon/many"
head -c $((20 << 20)) /dev/zero >"$SMALL/filler.dat" 2>/dev/null
box=$(drv answer OK 120)
echo "$box"
rm -f "$SMALL/filler.dat"
check "drive filled: the box says so and that nothing changed" has_line \
  'text:Auf dem Laufwerk ist nicht genug Platz frei.\rDie Installation wurde abgebrochen, es wurde nichts verändert.' "$box"
wait_exit 60
check "drive filled: exit code 0" test "$EXIT_CODE" = 0
# The failure's log is the one thing a failed run leaves.
check "drive filled: the setup log says the disk is full" grep -q 'disk full: D:' "$DRIVE_C/Setup.log"
rm -f "$DRIVE_C/Setup.log"
same_prefix "drive filled" "$before"
finish
