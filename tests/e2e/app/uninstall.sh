#!/usr/bin/env bash
# Uninstall: uninstall.exe asks whether Quillon is to be removed; "Abbrechen"
# changes nothing; "Ja" removes the registry entry, files and shortcuts; the
# data file with a kept extension stays with its folders, the uninstaller
# itself goes; the system no longer lists the product.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"
check "installed with the defaults" install_sample
check "Quillon.exe closed itself" wait_quillon_closed
key=$(uninstall_keys | head -1)
check "uninstall entry present" test -n "$key"
command=$(reg_value "$key" UninstallString)
echo "UninstallString: $command"
param=$(sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p' <<<"$command")

# First time: "Abbrechen".
start_program 'C:\Program Files\Quillon\uninstall.exe' /uninst "$param"
check "the uninstall window appears" drv wait-setup 120
window=$(drv dump)
echo "$window"
check "uninstall heading" has_line "static:De-Installation" "$window"
check "uninstall question" has_line "static:Möchten Sie Quillon von Ihrem Computer entfernen?" "$window"
check "no install question" bash -c '! grep -q "^edit:" <<<"$1"' _ "$window"
screenshot uninstall-question
drv click "Abbrechen" >/dev/null
wait_exit 30
check "cancelled uninstaller ended with 0" test "$EXIT_CODE" = 0
check "cancel left the program" test -f "$PROGRAMS/Quillon.exe"
check "cancel left the shortcut" test -f "$START_MENU/Quillon.lnk"
check "cancel left the uninstall entry" test -n "$(uninstall_keys)"

# Second time: "Ja".
watch_windows boxes
start_program 'C:\Program Files\Quillon\uninstall.exe' /uninst "$param"
drv wait-setup 120 >/dev/null
drv click "Ja" >/dev/null
wait_exit 60
check "uninstaller ended with 0" test "$EXIT_CODE" = 0
check "program removed" test ! -e "$PROGRAMS/Quillon.exe"
check "read-me removed" test ! -e "$PROGRAMS/info.txt"
check "icon removed" test ! -e "$PROGRAMS/Quillon.ico"
check "Desktop.ini removed" test ! -e "$PROGRAMS/Desktop.ini"
check "kept data file stays" test -f "$PROGRAMS/Daten/Quillon.qdb"
# The uninstaller's own file goes a moment after it ended; the folder keeps
# nothing but the kept data file.
check "uninstaller removed" wait_until 30 test ! -e "$PROGRAMS/uninstall.exe"
check "no message box was shown" no_window_seen
check "program folder holds only the kept data" test "$(cd "$PROGRAMS" && find . | sort | tr '\n' ' ')" = ". ./Daten ./Daten/Quillon.qdb "
check "start-menu shortcuts removed" test ! -e "$START_MENU/Quillon.lnk"
check "start-menu folder removed" test ! -e "$START_MENU"
check "desktop shortcut removed" test ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
check "uninstall entry removed" test -z "$(uninstall_keys)"
listed=$(wine_out uninstaller --list)
check "the system no longer lists the product" bash -c '! grep -q "Quillon" <<<"$1"' _ "$listed"
finish
