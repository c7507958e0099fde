#!/usr/bin/env bash
# Silent runs that must refuse, each with its exit code and without a change
# on disk or in the registry: a folder the folder box would refuse or a wrong
# switch (1), an uninstaller without uninstall information (2), a newer
# version installed (3; /ALLOWDOWNGRADE installs all the same), another setup
# running (4), also seen by a window setup and an uninstaller. A broken run
# has no window to find: the mark it holds is what they see.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"
cp "$WORK/dl/Setup.exe" "$WORK/dl/uninstall.exe"
mkdir -p "$DRIVE_C/Quillon"
cp "$Q_QUILLON" "$DRIVE_C/Quillon/Quillon.exe"

# What a setup could change: its folders, shortcuts, settings, uninstall entries.
state() {
  ( cd "$DRIVE_C" && find 'Program Files' Quillon Apps ProgramData/Microsoft/Windows/'Start Menu' \
      users/Public/Desktop -print 2>/dev/null | grep -v '^Program Files/Common Files\|^Program Files/Internet\|^Program Files/Windows' | sort )
  wine_out reg query 'HKLM\SOFTWARE\Quillon' /s
  uninstall_keys
}
# silent_run NAME EXPECTED-CODE ARGS...: runs Setup.exe with the arguments.
silent_run() {
  local name=$1 want=$2; shift 2
  start_program "$@"
  wait_exit 30
  check "$name: exit code $want" test "$EXIT_CODE" = "$want"
}

BEFORE=$(state)
watch_windows
silent_run "drive root" 1 'C:\e2e\dl\Setup.exe' /S '/D=C:\'
silent_run "drive-relative folder" 1 'C:\e2e\dl\Setup.exe' /S '/D=C:Quillon'
silent_run "no folder after /D=" 1 'C:\e2e\dl\Setup.exe' /S '/D='
silent_run "blank folder" 1 'C:\e2e\dl\Setup.exe' /S '/D=   '
silent_run "unknown switch" 1 'C:\e2e\dl\Setup.exe' /S /QUIET '/D=C:\Apps\Quillon'
silent_run "uninstaller without uninstall information" 2 'C:\e2e\dl\uninstall.exe' /S

check "folder and switch refusals: nothing changed" test "$(state)" = "$BEFORE"

"$WINE" reg add 'HKLM\SOFTWARE\Quillon\Quillon' /v Ver /d 3.0 /f >/dev/null 2>&1
"$WINE" reg add 'HKLM\SOFTWARE\Quillon\Quillon' /v Exec /d 'C:\Quillon\Quillon.exe' /f >/dev/null 2>&1
AFTER=$(state)
silent_run "newer version installed" 3 'C:\e2e\dl\Setup.exe' /S '/LOG=C:\e2e\newer.log'
check "newer version: nothing changed" test "$(state)" = "$AFTER"
check "newer version: the log says why" grep -q 'Result: 3 ' "$WORK/newer.log"
check "refusals: no window, no message box" no_window_seen
check "refusals: nothing installed" test ! -e "$PROGRAMS" -a ! -e "$DRIVE_C/Apps" -a ! -e "$DRIVE_C/Quillon/uninstall.exe"
check "refusals: no uninstall entry" test -z "$(uninstall_keys)"

silent_run "/ALLOWDOWNGRADE" 0 'C:\e2e\dl\Setup.exe' /S /ALLOWDOWNGRADE /NODESKTOP
check "/ALLOWDOWNGRADE: installed over it, in the earlier folder" test -f "$DRIVE_C/Quillon/uninstall.exe"
check "/NODESKTOP: no desktop shortcut" test ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
check "/NODESKTOP: the start-menu shortcut all the same" test -f "$START_MENU/Quillon.lnk"

# --- another setup running ---------------------------------------------------------
# A package big enough to catch its silent run while it writes, and hold it there.
head -c 150M /dev/zero >"$WORK/root/big.bin"
sed '/^action=save,Source=info.txt/i action=save,Source=big.bin,Filename=*PgmPath*\\big.bin' \
  "$Q_SAMPLE/setup.src" >"$WORK/big.src"
pack_setup "$WORK/dl/Big.exe" "$WORK/big.src"
"$WINE" reg delete 'HKLM\SOFTWARE\Quillon\Quillon' /v Ver /f >/dev/null 2>&1
start_program 'C:\e2e\dl\Big.exe' /S '/D=C:\Big\Quillon'
first=$STARTED_PID
wait_until 60 test -e "$DRIVE_C/Big/Quillon/Quillon.exe"
kill -STOP "$first"
# Stopped, not ended, with its install not complete.
caught() { stopped "$first" && [ ! -e "$DRIVE_C/Big/Quillon/uninstall.exe" ]; }
check "the first silent run is caught while it installs" wait_until 10 caught
BUSY=$(state)
silent_run "second silent setup" 4 'C:\e2e\dl\Setup.exe' /S '/D=C:\Apps\Quillon'
silent_run "silent uninstaller" 4 'C:\e2e\dl\uninstall.exe' /S
check "second runs changed nothing" test "$(state)" = "$BUSY"
start_program 'C:\e2e\dl\Setup.exe'
box=$(drv answer OK 60)
check "window setup: double-start message" \
  has_line "text:Doppelstart: Es wurde ein anderes laufendes Setup gefunden." "$box"
wait_exit 30
check "window setup: exit code 0" test "$EXIT_CODE" = 0
kill -CONT "$first"
STARTED_PID=$first
wait_exit 120
check "the first silent run completes with 0" test "$EXIT_CODE" = 0
check "the first silent run installed" test -f "$DRIVE_C/Big/Quillon/uninstall.exe"
finish
