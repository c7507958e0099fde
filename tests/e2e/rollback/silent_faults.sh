#!/usr/bin/env bash
# Silent runs that cannot succeed leave the machine exactly as it was: a
# drive with too little room (refused before the first change, exit 5), a
# drive that fills up during the run (undone, exit 5), a file of the earlier
# version held by a running program during an upgrade (refused, exit 6), a
# damaged uninstaller (exit 2, nothing removed, the entry kept); a setup
# over it and then its uninstall leave the machine as a clean install and
# uninstall do. An
# uninstall while the product's file is held removes the rest, leaves that
# file for the next restart and says so (exit 3010). So does an upgrade whose
# replaced file a program opens before the commit (its backup goes at the
# restart, which leaves the machine as a clean upgrade does), but never by
# a removal at the restart in a folder users may change.
# The small drive needs a mount: as root, or else in a user and mount
# namespace of the test's own.
[ "$(id -u)" = 0 ] || [ -n "${Q_OWN_MOUNTS:-}" ] || ! unshare -Umc --keep-caps true 2>/dev/null ||
  Q_OWN_MOUNTS=1 exec unshare -Umc --keep-caps bash "$0" "$@"
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

# 300 files: an upgrade replaces files long enough to be caught before its commit.
make_package "$WORK/q25.exe" 2.5 300
make_package "$WORK/q26.exe" 2.6 300
make_package "$WORK/big.exe" 2.5 800   # 32 MiB of files

# --- a drive with too little room ------------------------------------------
SMALL=$WORK/small-drive
mkdir -p "$SMALL"
if mount -t tmpfs -o size=20m tmpfs "$SMALL" 2>/dev/null; then
  trap 'umount "$SMALL" 2>/dev/null' EXIT
  ln -sfn "$SMALL" "$WINEPREFIX/dosdevices/d:"
  DRIVE_D=$SMALL
  before=$(snapshot)
  silent small-drive 'C:\broken\big.exe' '/D=D:\Quillon'
  check "small drive: refused with exit code 5" test "$EXIT_CODE" = 5
  check "small drive: the log names the drive, what is needed and what is free" \
    grep -q 'not enough space on D:\\: 3[0-9]\.[0-9] MB needed, [12][0-9]\.[0-9] MB free' <<<"$LOG"
  same_as "small drive" "$before" "nothing changed"

  # Room at the check, but another program fills the drive during the run.
  head -c $((5 * 1024 * 1024)) /dev/zero >"$SMALL/other-program.dat"
  make_package "$WORK/mid.exe" 2.5 1200 10   # 12 MiB in many files: the run takes a while
  before=$(snapshot)
  "$WINE" 'C:\broken\mid.exe' /S '/LOG=C:\broken\filling.log' '/D=D:\Quillon' >/dev/null 2>&1 </dev/null &
  setup=$!
  # The drive fills while the run, caught writing its files, stands still.
  check "filling drive: the install is writing" wait_until 60 test -e "$SMALL/Quillon/many"
  kill -STOP "$setup"
  check "filling drive: the install is caught before its end" wait_until 10 stopped "$setup"
  head -c $((20 * 1024 * 1024)) /dev/zero >"$SMALL/filler.dat" 2>/dev/null
  kill -CONT "$setup"
  wait "$setup"; EXIT_CODE=$?
  LOG=$(tr -d '\r' <"$WORK/filling.log" 2>/dev/null)
  rm -f "$SMALL/filler.dat"
  check "filling drive: exit code 5" test "$EXIT_CODE" = 5
  check "filling drive: the log says the disk is full and that the run was undone" \
    bash -c 'grep -q "disk full: D:\\\\" <<<"$1" && grep -q "^Undone: every change of this run" <<<"$1"' _ "$LOG"
  same_as "filling drive" "$before" "every file written is gone again, no cut-off file stays"
  rm -f "$SMALL/other-program.dat"
  unset DRIVE_D
  umount "$SMALL"; trap - EXIT; rm -f "$WINEPREFIX/dosdevices/d:"
else
  echo "note: no tmpfs can be mounted here (neither root nor a user namespace): the small-drive cases are left out"
fi

# --- a clean cycle: what an install and its uninstall leave ----------------------
silent cycle-install 'C:\broken\q25.exe'
silent cycle-upgrade 'C:\broken\q26.exe'
upgraded=$(snapshot | timeless)
entry=$(uninstall_entries | head -1)
silent cycle-uninstall "$PROGRAM_WIN\\uninstall.exe" /uninst "UninstallKey=${entry##*\\}"
check "clean cycle: installed and uninstalled" test "$EXIT_CODE" = 0
wait_removed
cycle=$(snapshot)

# --- an upgrade while a file of the earlier version is held --------------------
silent install-25 'C:\broken\q25.exe'
check "2.5: installed" test "$EXIT_CODE" = 0
check "2.5: its entry" test "$(entry_version)" = 2.5
installed25=$(snapshot)
hold "$PROGRAM_WIN\\info.txt"
silent held-upgrade 'C:\broken\q26.exe'
check "held file: refused with exit code 6" test "$EXIT_CODE" = 6
check "held file: the log names the file" grep -q 'files in use: C:\\Program Files\\Quillon\\info.txt' <<<"$LOG"
same_as "held file" "$installed25" "2.5 stays complete, nothing of 2.6 written"

# --- a damaged uninstaller ---------------------------------------------------------
entry=$(uninstall_entries | head -1)
key=${entry##*\\}
cp "$PROGRAM/uninstall.exe" "$WORK/uninstall-good.exe"
read -r _ _ _ uninst_len < <($SECTIONS list "$WORK/uninstall-good.exe" | grep Uninst)
$SECTIONS flip "$WORK/uninstall-good.exe" Section:Uninst $((uninst_len / 2)) "$PROGRAM/uninstall.exe"
damaged=$(snapshot)
silent damaged "$PROGRAM_WIN\\uninstall.exe" /uninst "UninstallKey=$key"
check "damaged uninstaller: exit code 2" test "$EXIT_CODE" = 2
same_as "damaged uninstaller" "$damaged" "nothing removed, the entry kept"
release_holds
silent over-damaged 'C:\broken\q26.exe'
check "over damaged information: 2.6 installed" test "$EXIT_CODE" = 0
entry=$(uninstall_entries | head -1)
silent over-damaged-uninstall "$PROGRAM_WIN\\uninstall.exe" /uninst "UninstallKey=${entry##*\\}"
check "over damaged information: its uninstall, exit code 0" test "$EXIT_CODE" = 0
wait_removed
same_as "over damaged information, then its uninstall" "$cycle" "the machine as after a clean cycle"
silent reinstall-25 'C:\broken\q25.exe'

# --- an upgrade whose replaced file a program opens before the commit --------------
# held_upgrade CASE FOLDER: 2.6 over the 2.5 in FOLDER, the backup of a
# replaced file (BACKUP) held from before the commit until the run ended.
held_upgrade() {
  silent_start "$1" 'C:\broken\q26.exe' "/D=$2"
  check "$1: the setup runs" wait_until 60 setup_of "$1"
  check "$1: caught once it replaced files" wait_until 300 caught_when '[ "$(backups | wc -l)" -ge 2 ]'
  BACKUP=$(backups | head -1)
  hold "$BACKUP"
  kill -CONT "$SETUP"
  silent_end "$1"
  release_holds
}
restart_removals() { reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations; }
held_upgrade held-backup "$PROGRAM_WIN"
check "held backup: exit code 3010" test "$EXIT_CODE" = 3010
check "held backup: the log names it for the restart" grep -qF "in use, removed at the next restart: $BACKUP" <<<"$LOG"
check "held backup: the system removes it at the next restart" grep -qiF "$BACKUP" <<<"$(restart_removals)"
# The restart: the session's server ends, the first program after it boots
# the prefix, which carries out the removals.
wineserver -k; wineserver -w; wineserver -p >/dev/null 2>&1
check "after the restart: 2.6 is installed" test "$(entry_version)" = 2.6
same_as "after the restart" "$upgraded" "the backup gone, the machine as after a clean upgrade" timeless
entry=$(uninstall_entries | head -1)
key=${entry##*\\}

# --- an uninstall while the program's file is held -----------------------------------
hold "$PROGRAM_WIN\\Quillon.exe"
silent held-uninstall "$PROGRAM_WIN\\uninstall.exe" /uninst "UninstallKey=$key"
release_holds
check "held uninstall: exit code 3010" test "$EXIT_CODE" = 3010
check "held uninstall: the log names the file left for the restart" \
  grep -q 'in use, removed at the next restart: C:\\Program Files\\Quillon\\Quillon.exe' <<<"$LOG"
pending=$(drv reg 'HKLM\System\CurrentControlSet\Control\Session Manager')
check "held uninstall: the system removes Quillon.exe at the next restart" \
  grep -qi 'PendingFileRenameOperations=.*Program Files\\Quillon\\Quillon.exe' <<<"$pending"
check "held uninstall: the other files are gone" test ! -e "$PROGRAM/info.txt"
check "held uninstall: the entry is gone" test -z "$(uninstall_entries)"

# Outside the program folders a user could put a link in the backup's place
# before the restart: no removal at the restart there.
silent outside-25 'C:\broken\q25.exe' '/D=C:\Quillon'
held_upgrade held-outside 'C:\Quillon'
check "held backup outside the program folders: no removal at the restart" \
  test -z "$(restart_removals | grep -iF "$BACKUP")"
check "held backup outside the program folders: the log says why" \
  grep -qF "not removed at the restart (in a folder users may change): $BACKUP" <<<"$LOG"
finish
