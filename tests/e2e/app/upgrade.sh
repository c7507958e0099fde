#!/usr/bin/env bash
# An upgrade leaves nothing behind either: version 2.5 installed silently,
# then 2.6, which no longer ships the read-me, silently over it (same folder,
# the same uninstall entry); one silent uninstall then removes what both
# versions wrote. Only the kept data file and a file of the user's own stay,
# and with them their folder.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup25.exe"
sed -e 's/Version=2.5/Version=2.6/' -e '/Source=info.txt/d' -e '/Liesmich/d' "$Q_SAMPLE/setup.src" >"$WORK/setup26.src"
pack_setup "$WORK/dl/Setup26.exe" "$WORK/setup26.src"

start_program 'C:\e2e\dl\Setup25.exe' /S
wait_exit 60
check "2.5 installed silently" test "$EXIT_CODE" = 0
check "2.5: read-me and its shortcut" test -f "$PROGRAMS/info.txt" -a -f "$START_MENU/Liesmich.lnk"
start_program 'C:\e2e\dl\Setup26.exe' /S /NODESKTOP
wait_exit 60
check "2.6 installed silently over it" test "$EXIT_CODE" = 0
check "2.6 went into the same folder" test -f "$PROGRAMS/uninstall.exe" -a -f "$PROGRAMS/Quillon.exe"
keys=$(uninstall_keys)
echo "$keys"
check "one uninstall entry, reused" test "$(grep -c . <<<"$keys")" = 1
command=$(wine_out reg query "$(head -1 <<<"$keys")" /v UninstallString | sed -n 's/.*REG_SZ *//p')
param=$(sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p' <<<"$command")
check "2.5's files are still there" test -f "$PROGRAMS/info.txt" -a -f "$PUBLIC_DESKTOP/Quillon.lnk"
check "Quillon.exe closed itself" wait_quillon_closed

printf 'my own notes' >"$PROGRAMS/notes.txt"
start_program 'C:\Program Files\Quillon\uninstall.exe' /uninst "$param" /S
wait_exit 60
check "silent uninstall: exit code 0" test "$EXIT_CODE" = 0
# The uninstaller's own file goes a moment after it ended.
wait_until 30 test ! -e "$PROGRAMS/uninstall.exe"
left=$(cd "$DRIVE_C/Program Files" && find Quillon | sort)
echo "left: $left"
check "only the kept data file and the user's file stay" \
  test "$left" = $'Quillon\nQuillon/Daten\nQuillon/Daten/Quillon.qdb\nQuillon/notes.txt'
check "2.5's start-menu shortcuts removed with their folder" test ! -e "$START_MENU"
check "2.5's desktop shortcut removed" test ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
check "uninstall entry removed" test -z "$(uninstall_keys)"

# Without the data file and the user's file, the folder goes as well.
rm -f "$PROGRAMS/notes.txt" "$PROGRAMS/Daten/Quillon.qdb" "$(temp_dir)/quillon-started.txt"
start_program 'C:\e2e\dl\Setup26.exe' /S /RUN
wait_exit 60
check "/RUN: installed" test "$EXIT_CODE" = 0
# The note it leaves, not whether it still runs: it closes itself.
check "/RUN: the program was started" wait_file "$(temp_dir)/quillon-started.txt"
check "Quillon.exe closed itself" wait_quillon_closed
rm -f "$PROGRAMS/Daten/Quillon.qdb"
start_program 'C:\Program Files\Quillon\uninstall.exe' /S
wait_exit 60
check "uninstall.exe /S: exit code 0" test "$EXIT_CODE" = 0
check "nothing left of the installation" wait_until 30 test ! -e "$PROGRAMS"
finish
