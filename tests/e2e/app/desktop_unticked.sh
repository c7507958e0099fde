#!/usr/bin/env bash
# The desktop box cleared: no desktop shortcut, the start menu gets its
# shortcuts all the same. On a German system the partner offer is shown and,
# left ticked, the partner program runs (and is deleted afterwards).
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"
start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120
check "desktop box cleared" drv set-check "Verknüpfung zu Quillon auf dem Desktop erstellen" 0
window=$(drv dump)
check "partner offer shown on a German system" has_text "check:Verknüpfungen zu eBay" "$window"
drv click "Ja" >/dev/null
drv answer OK 120 >/dev/null
wait_exit 60
check "program installed" test -f "$PROGRAMS/Quillon.exe"
check "start-menu shortcut" test -f "$START_MENU/Quillon.lnk"
check "no desktop shortcut" test ! -e "$PUBLIC_DESKTOP/Quillon.lnk"
wait_file "$(temp_dir)/partner-started.txt"
check "partner program ran" test -s "$(temp_dir)/partner-started.txt"
check "partner program deleted" test ! -e "$PROGRAMS/eBay_Setup_shortcuts_1018.exe"
finish
