#!/usr/bin/env bash
# Silent runs on a machine where a standard user has prepared everything
# within reach: a program folder and data folder in the current user's hive,
# a folder at C:\Setup.log, a hard link as the log of the uninstall, copies
# of a program under every uninstaller copy name the temporary folder used
# to get. While a first install runs, another program tries to change or
# swap Setup.exe; that install fails at its last line and is undone, its log
# refused and noted, never raised. A second install (as the elevated copy,
# which writes its log only in a place of its own) and the uninstall then
# go through as if nothing had been prepared.
# (Wine shows neither access lists, nor private namespaces, nor an unelevated
# start: those are tested through the seam and tests/win32/hardening.)
. "$(dirname "$0")/../app/lib.sh"
: "${Q_RIVAL:?}"
export LC_ALL=de_DE.UTF-8

cp "$Q_RIVAL" "$WORK/rival.exe"
# refused WHAT FILE: the rival ran and the system refused it the file (3).
refused() { "$WINE" 'C:\e2e\rival.exe' "$@" >/dev/null 2>&1 </dev/null; [ $? = 3 ]; }
# A package big enough to catch while it writes; its last line fails.
pack_root() { mkdir -p "$WORK/root"; head -c 150M /dev/zero >"$WORK/root/big.bin"; }
pack_root
{ sed '/^action=save,Source=info.txt/i action=save,Source=big.bin,Filename=*PgmPath*\\big.bin' "$Q_SAMPLE/setup.src"
  printf 'action=nothing\r\n'; } >"$WORK/failing.src"
pack_setup "$WORK/dl/Setup.exe" "$WORK/failing.src"

# --- what the user prepared ------------------------------------------------------
"$WINE" reg add 'HKCU\SOFTWARE\Quillon\Quillon' /v Exec /d 'C:\Evil\Quillon.exe' /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\SOFTWARE\Quillon\Quillon' /v DataPath /d 'C:\Evil\Data' /f >/dev/null 2>&1
mkdir -p "$DRIVE_C/Setup.log"
TEMP_DIR=$(temp_dir)
for pid in $(seq 4 4 4096); do cp "$Q_RIVAL" "$TEMP_DIR/QuillonUninstall-$pid.exe"; done
planted_sum=$(cat "$TEMP_DIR"/QuillonUninstall-*.exe | md5sum)

# --- the install, caught while it writes -------------------------------------------
cp "$WORK/dl/Setup.exe" "$WORK/Setup.orig"
start_program 'C:\e2e\dl\Setup.exe' /S '/LOG=C:\e2e\install.log' '/D=C:\Apps\Quillon'
setup=$STARTED_PID
wait_until 60 test -e "$DRIVE_C/Apps/Quillon/Quillon.exe"
kill -STOP "$setup"
# Stopped, not ended: Setup.exe is still open.
check "the install is caught while it writes" wait_until 10 stopped "$setup"
# Another program may read it, but neither write nor rename it in between.
check "running Setup.exe: no writer gets in" refused write 'C:\e2e\dl\Setup.exe'
check "running Setup.exe: it cannot be renamed or swapped" refused rename 'C:\e2e\dl\Setup.exe'
kill -CONT "$setup"
wait_exit 180
check "the failing install ends with 2" test "$EXIT_CODE" = 2
check "the running file was never changed" cmp -s "$WORK/dl/Setup.exe" "$WORK/Setup.orig"
check "C:\\Setup.log is still the user's folder" test -d "$DRIVE_C/Setup.log"
log=$(tr -d '\r' <"$WORK/install.log" 2>/dev/null)
check "the refused log is noted, the run undone" \
  bash -c 'grep -qF "Cannot create file \"C:\\Setup.log\"" <<<"$1" && grep -q "^Undone: " <<<"$1"' _ "$log"
# A folder the ended setup still held goes when the Wine server has closed
# the ended process's handles, a moment after the process itself.
check "the undone install left nothing" wait_until 10 test ! -e "$DRIVE_C/Apps/Quillon" ||
  echo "  left: $(find "$DRIVE_C/Apps" | tr '\n' ' ')"

# --- a good install, as the elevated copy: the user's hive decides nothing -----------
pack_setup "$WORK/dl/Good.exe"
start_program 'C:\e2e\dl\Good.exe' /ELEVATED /ELEVATEDLOG=0123456789abcdef /S '/LOG=C:\e2e\copy.log' '/D=C:\Apps\Quillon'
wait_exit 120
check "the good install ends with 0" test "$EXIT_CODE" = 0
check "the copy writes no /LOG= a user may have chosen" test ! -e "$WORK/copy.log"
check "the copy's log lies in its own place" has_line 'Result: 0 installed' \
  "$(tr -d '\r' <"$DRIVE_C/ProgramData/QuillonSetupLog-0123456789abcdef/Setup.log")"
check "no C:\\Evil" test ! -e "$DRIVE_C/Evil"
check "data folder where the script puts it" test -f "$DRIVE_C/Apps/Quillon/Daten/Quillon.qdb"
check "Exec is written to the machine" \
  test "$(reg_value 'HKLM\SOFTWARE\Quillon\Quillon' Exec)" = 'C:\Apps\Quillon\Quillon.exe'
check "DataPath is written to the machine" \
  test "$(reg_value 'HKLM\SOFTWARE\Quillon\Quillon' DataPath)" = 'C:\Apps\Quillon\Daten\'

# --- the uninstall ---------------------------------------------------------------
echo "keep me" >"$WORK/victim.txt"
ln "$WORK/victim.txt" "$WORK/linked.log"
rm -f "$DRIVE_C/Apps/Quillon/Daten/Quillon.qdb"
start_program 'C:\Apps\Quillon\uninstall.exe' /S '/LOG=C:\e2e\linked.log'
wait_exit 60
check "silent uninstall: exit code 0" test "$EXIT_CODE" = 0
check "a log with a second name is refused: the other file unchanged" test "$(cat "$WORK/victim.txt")" = "keep me"
# The copy removes the uninstaller, then marks itself for the next restart.
check "the uninstaller's copy ended" wait_closed 'QuillonUninstall\.exe' 60
check "the uninstaller is removed by its copy" test ! -e "$DRIVE_C/Apps/Quillon/uninstall.exe"
check "no planted copy ran" test ! -e "$WORK/planted-ran"
check "the planted files are untouched" test "$(cat "$TEMP_DIR"/QuillonUninstall-*.exe | md5sum)" = "$planted_sum"
copy_marked() {
  pending=$(wine_out reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations)
  grep -q 'QuillonUninstall-[0-9a-f]\{16\}\\QuillonUninstall.exe' <<<"$pending"
}
wait_until 30 copy_marked || echo "  restart entries: ${pending:-none}; temp: $(ls "$TEMP_DIR" | grep -v '^QuillonUninstall-[0-9]*\.exe$' | tr '\n' ' ')"
copy=$(grep -o 'QuillonUninstall-[0-9a-f]\{16\}\\QuillonUninstall.exe' <<<"$pending" | head -1)
check "the copy ran from a new folder with a random name" test -n "$copy"
# One entry the file, one the folder: "...\QuillonUninstall-<hex>\0".
check "the copy's folder goes at the restart too" grep -q 'QuillonUninstall-[0-9a-f]\{16\}\\0' <<<"$pending"
finish
