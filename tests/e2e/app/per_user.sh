#!/usr/bin/env bash
# Deployment: an install for the current user (/CURRENTUSER) goes into the
# user's own program folder, start menu and desktop, with the product key and
# the uninstall entry under HKEY_CURRENT_USER and nothing written below
# HKEY_LOCAL_MACHINE; an install for all users (/PASSIVE: the progress
# window alone, its bar moving, no button) makes a second, separate entry;
# each uninstaller, started as its entry says, removes its own installation
# only.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

# Many larger files keep the progress window up long enough to be watched
# (its bar moves between lines).
mkdir -p "$WORK/root"
lines=""
for i in $(seq 1 40); do
  head -c $((1024 * 1024)) /dev/urandom >"$WORK/root/big$i.bin"
  lines+="action=save,Source=big$i.bin,Stored=1,Filename=*PgmPath*\\big$i.bin\r\n"
done
sed "s/^action=uninst,/${lines}action=uninst,/" "$Q_SAMPLE/setup.src" >"$WORK/setup.src"
pack_setup "$WORK/dl/Setup.exe" "$WORK/setup.src"
UNINSTALL='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
machine_state() { reg_dump 'HKLM\SOFTWARE\Quillon' 'HKLM\SOFTWARE\QuillonSetup' "HKLM\\$UNINSTALL"; }
before=$(machine_state)

# --- for the current user --------------------------------------------------------
start_program 'C:\e2e\dl\Setup.exe' /CURRENTUSER /S '/LOG=C:\e2e\user.log'
wait_exit 120
check "per-user install: exit code 0" test "$EXIT_CODE" = 0
program=$(find "$DRIVE_C/users" -path '*/AppData/Local/Programs/Quillon/Quillon.exe' 2>/dev/null | head -1)
check "program below the user's %LOCALAPPDATA%\\Programs" test -n "$program"
USER_HOME=${program%/AppData/Local/Programs/Quillon/Quillon.exe}
USER_NAME=${USER_HOME##*/}
USER_FOLDER="C:\\users\\$USER_NAME\\AppData\\Local\\Programs\\Quillon"
check "nothing below Program Files" test ! -e "$PROGRAMS"
check "start-menu shortcut in the user's start menu" \
  test -f "$USER_HOME/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quillon/Quillon.lnk"
check "desktop shortcut on the user's desktop" test -f "$USER_HOME/Desktop/Quillon.lnk"
check "no shortcut in the common start menu or on the public desktop" \
  test ! -e "$START_MENU" -a ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
check "the product key under HKEY_CURRENT_USER" \
  test "$(reg_value 'HKCU\SOFTWARE\Quillon\Quillon' Exec)" = "$USER_FOLDER\\Quillon.exe"
user_key=$(reg_dump "HKCU\\$UNINSTALL" | sed -n 's/^\[\(.*\\Uninstall\\Quillon [^\\]*\)\]$/\1/p' | head -1)
check "the uninstall entry under HKEY_CURRENT_USER" test -n "$user_key"
entry=$(reg_dump "$user_key")
echo "$entry"
for value in 'DisplayName=REG_SZ:Quillon (Installation ' 'DisplayVersion=REG_SZ:2.5' \
             'Publisher=REG_SZ:Quillon Software GmbH' "InstallLocation=REG_SZ:$USER_FOLDER" \
             'EstimatedSize=REG_DWORD:' 'NoModify=REG_DWORD:0x1' 'NoRepair=REG_DWORD:0x1'; do
  check "entry: $value" has_text "$value" "$entry"
done
check "entry: InstallDate YYYYMMDD" grep -qx 'InstallDate=REG_SZ:20[0-9]\{6\}' <<<"$entry"
quiet=$(sed -n 's/^QuietUninstallString=REG_SZ://p' <<<"$entry")
check "the uninstall command says /CURRENTUSER" has_text '" /CURRENTUSER /S' "$quiet"
check "nothing written below HKEY_LOCAL_MACHINE" test "$(machine_state)" = "$before"
check "no journal left in the user's hive" test -z "$(reg_value 'HKCU\SOFTWARE\QuillonSetup' RunJournal)"

# --- for all users, with the progress window only ---------------------------------
"$WINE" "$Q_QDRIVER" progress-watch 120 >"$WORK/progress.out" 2>&1 </dev/null &
watcher=$!
wait_file "$WORK/progress.out" 60
watch_windows boxes
start_program 'C:\e2e\dl\Setup.exe' /PASSIVE /NORESTART '/LOG=C:\e2e\passive.log'
wait_exit 180
check "/PASSIVE: no message box" no_window_seen
check "/PASSIVE: exit code 0" test "$EXIT_CODE" = 0
wait "$watcher"
progress=$(tr -d '\r' <"$WORK/progress.out")
echo "$progress" | head -20
check "/PASSIVE: a window with a progress bar" grep -q '^pos:' <<<"$progress"
check "/PASSIVE: the bar moves" test "$(grep -c '^pos:[1-9]' <<<"$progress")" -ge 2
check "/PASSIVE: no button (no question, no cancel)" bash -c '! grep -q "^button:" <<<"$1"' _ "$progress"
check "program for all users in Program Files" test -f "$PROGRAMS/Quillon.exe"
machine_key=$(uninstall_keys | head -1)
check "a second, separate entry under HKEY_LOCAL_MACHINE" test -n "$machine_key"
check "the machine's entry has InstallDate" test -n "$(reg_value "$machine_key" InstallDate)"
check "the per-user entry stays" has_text 'DisplayName=' "$(reg_dump "$user_key")"
check "passive log: the result" has_line 'Result: 0 installed' "$(tr -d '\r' <"$WORK/passive.log")"

# --- each uninstaller removes its own installation --------------------------------
rm -f "$USER_HOME/AppData/Local/Programs/Quillon/Daten/Quillon.qdb"
param=$(sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p' <<<"$quiet")
start_program "$USER_FOLDER\\uninstall.exe" /uninst "$param" /CURRENTUSER /S
wait_exit 60
check "per-user uninstall: exit code 0" test "$EXIT_CODE" = 0
check "per-user folder removed" wait_until 30 test ! -e "$USER_HOME/AppData/Local/Programs/Quillon"
check "user's desktop shortcut removed" test ! -e "$USER_HOME/Desktop/Quillon.lnk"
check "per-user entry removed" has_line "[$user_key] missing" "$(reg_dump "$user_key")"
check "the installation for all users stays" test -f "$PROGRAMS/Quillon.exe" -a -n "$(uninstall_keys)"
check "and its shortcuts" test -f "$PUBLIC_DESKTOP/Quillon.lnk"

# --- the window's choice ----------------------------------------------------------
start_program 'C:\e2e\dl\Setup.exe'
check "the setup window appears" drv wait-setup 120
window=$(drv dump)
echo "$window"
check "window: for all users, chosen" has_line 'radio:für alle Benutzer|checked' "$window"
check "window: just for me, offered" has_line 'radio:nur für mich|unchecked' "$window"
check "window: the installation for all users' folder" has_line 'edit:C:\Program Files\Quillon\' "$window"
drv click 'nur für mich' >/dev/null
window=$(drv dump)
check "window: just for me offers the user's folder" has_line "edit:$USER_FOLDER\\" "$window"
drv click 'Ja' >/dev/null
box=$(drv answer OK 120)
check "window: installed for the current user" has_text 'Die Installation war erfolgreich.' "$box"
wait_exit 60
check "window: exit code 0" test "$EXIT_CODE" = 0
check "window: the entry under HKEY_CURRENT_USER again" \
  test -n "$(reg_dump "HKCU\\$UNINSTALL" | sed -n '/\\Uninstall\\Quillon /p')"
check "window: program in the user's folder" test -f "$USER_HOME/AppData/Local/Programs/Quillon/Quillon.exe"
finish
