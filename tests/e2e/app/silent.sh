#!/usr/bin/env bash
# Unattended install and uninstall, without any display interaction: /? shows
# the switches (German and English); "/S /LOG=... /D=<folder with blanks>"
# installs without a window into that folder, its data folder beside the
# program, no partner program, nothing started, the uninstall entry with
# "QuietUninstallString"; that command removes everything again, the
# uninstaller and its folders included.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"

# --- the switches' help ----------------------------------------------------------
start_program 'C:\e2e\dl\Setup.exe' /?
box=$(drv answer OK 60)
echo "$box"
check "/?: German help lists /S and /PASSIVE" has_text 'text:Setup.exe [/S | /PASSIVE] [/CURRENTUSER | /ALLUSERS]' "$box"
check "/?: German help explains the exit codes" has_text '6 Dateien in Benutzung, 7 Administratorrechte verweigert, 3010 fertig' "$box"
wait_exit 30
check "/?: exit code 0" test "$EXIT_CODE" = 0
LC_ALL=en_US.UTF-8 start_program 'C:\e2e\dl\Setup.exe' /HELP
box=$(drv answer OK 60)
check "/help: English help" has_text $'/NODESKTOP\tno shortcut on the desktop' "$box"
wait_exit 30
check "/help: exit code 0" test "$EXIT_CODE" = 0
check "/?: nothing installed" test ! -e "$PROGRAMS"

# --- silent install --------------------------------------------------------------
TARGET="$DRIVE_C/Program Files/Quillon Suite/Q 1"
start=$SECONDS
watch_windows
start_program 'C:\e2e\dl\Setup.exe' /S '/LOG=C:\e2e\install.log' '/D=C:\Program' 'Files\Quillon' 'Suite\Q' 1
wait_exit 60
check "silent install: no window, no box" no_window_seen
check "silent install: exit code 0" test "$EXIT_CODE" = 0
echo "silent install took $((SECONDS - start)) s"
check "program in the folder with blanks" test -f "$TARGET/Quillon.exe"
check "read-me and icon there" test -f "$TARGET/info.txt" -a -f "$TARGET/Quillon.ico"
check "data folder follows the chosen folder" test -f "$TARGET/Daten/Quillon.qdb"
check "nothing in the default folder" test ! -e "$PROGRAMS"
check "uninstaller written" test -f "$TARGET/uninstall.exe"
check "partner program not left (never run)" test ! -e "$TARGET/eBay_Setup_shortcuts_1018.exe"
check "Quillon.exe not started without /RUN" test ! -e "$(temp_dir)/quillon-started.txt"
check "start-menu shortcut" test -f "$START_MENU/Quillon.lnk"
check "desktop shortcut (the default)" test -f "$PUBLIC_DESKTOP/Quillon.lnk"
if command -v lnkinfo >/dev/null; then
  info=$(lnkinfo "$PUBLIC_DESKTOP/Quillon.lnk" 2>/dev/null)
  check "desktop shortcut points into the chosen folder" has_text 'Quillon Suite\Q 1\Quillon.exe' "$info"
fi
settings=$(wine_out reg query 'HKLM\SOFTWARE\Quillon\Quillon')
check "Exec names the chosen folder" has_text 'C:\Program Files\Quillon Suite\Q 1\Quillon.exe' "$settings"
check "DataPath names the chosen folder" has_text 'C:\Program Files\Quillon Suite\Q 1\Daten' "$settings"
key=$(uninstall_keys | head -1)
entry=$(wine_out reg query "$key")
echo "$entry"
command=$(sed -n 's/^ *UninstallString *REG_SZ *//p' <<<"$entry")
quiet=$(sed -n 's/^ *QuietUninstallString *REG_SZ *//p' <<<"$entry")
check "UninstallString names the uninstaller" \
  has_text '"C:\Program Files\Quillon Suite\Q 1\uninstall.exe" /uninst "UninstallKey=Quillon ' "$command"
check "QuietUninstallString is UninstallString with /S" test -n "$command" -a "$quiet" = "$command /S"
listed=$(wine_out uninstaller --list)
check "the system lists the product" has_text 'Quillon' "$listed"
log=$(tr -d '\r' <"$WORK/install.log" 2>/dev/null)
check "log: the executed lines" has_text 'Line: action=uninst,name=Quillon' "$log"
check "log: the files written" has_line 'File: C:\Program Files\Quillon Suite\Q 1\Quillon.exe' "$log"
check "log: the result" has_line 'Result: 0 installed' "$log"
check "no C:\\Setup.log after a good run" test ! -e "$DRIVE_C/Setup.log"

# --- silent uninstall ------------------------------------------------------------
# The user has no data of their own: then nothing at all stays.
rm -f "$TARGET/Daten/Quillon.qdb"
param=$(sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p' <<<"$command")
watch_windows
start_program 'C:\Program Files\Quillon Suite\Q 1\uninstall.exe' /uninst "$param" /S
wait_exit 60
check "silent uninstall: exit code 0" test "$EXIT_CODE" = 0
# The uninstaller's own file goes a moment after it ended: its helper copy
# removes it, then marks itself for the next restart.
check "the uninstaller's copy ended" wait_closed 'QuillonUninstall\.exe' 60
check "silent uninstall: no window, no box" no_window_seen
check "uninstaller removed" test ! -e "$TARGET/uninstall.exe"
check "program folder and its parent removed" test ! -e "$DRIVE_C/Program Files/Quillon Suite"
check "start-menu folder removed" test ! -e "$START_MENU"
check "desktop shortcut removed" test ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
check "uninstall entry removed" test -z "$(uninstall_keys)"
listed=$(wine_out uninstaller --list)
check "the system no longer lists the product" bash -c '! grep -q "Quillon" <<<"$1"' _ "$listed"
pending=$(wine_out reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations)
check "the uninstaller's helper copy goes at the next restart" has_text 'QuillonUninstall-' "$pending"
finish
