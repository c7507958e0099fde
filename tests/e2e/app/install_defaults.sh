#!/usr/bin/env bash
# Install with the defaults: the install question shows the product, its
# version and the default folder; "Ja" installs, the information box says
# the program will start, Quillon.exe starts; files, shortcuts, the registry
# entries and the uninstaller are in place.
. "$(dirname "$0")/lib.sh"

pack_setup "$WORK/dl/Setup.exe"
LC_ALL=de_DE.UTF-8 start_program 'C:\e2e\dl\Setup.exe'
check "the setup window appears" drv wait-setup 120
window=$(drv dump)
echo "$window"
check "install question with product and version" \
  has_line "static:Dieses Setup-Programm installiert Quillon (Version 2.5) auf Ihrem Computer" "$window"
check "default program folder" has_line 'edit:C:\Program Files\Quillon\' "$window"
check "desktop shortcut offered, ticked" \
  has_line "check:Verknüpfung zu Quillon auf dem Desktop erstellen|checked" "$window"
check "start button" has_line "button:Ja" "$window"
screenshot install_defaults-question

drv click "Ja"
box=$(drv answer "OK" 120)
echo "$box"
check "information box caption" has_line "caption:Informationen" "$box"
check "success message, program will start" \
  has_line 'text:Die Installation war erfolgreich.\rDas Programm wird nun gestartet.' "$box"
check "the box's button is OK" has_line "button:OK" "$box"
wait_exit 60
check "setup ended with exit code 0" test "$EXIT_CODE" = 0

check "Quillon.exe installed" test -f "$PROGRAMS/Quillon.exe"
check "info.txt installed" test -f "$PROGRAMS/info.txt"
check "data file installed" test -f "$PROGRAMS/Daten/Quillon.qdb"
check "uninstaller written" test -f "$PROGRAMS/uninstall.exe"
check "partner program deleted after the setup" test ! -e "$PROGRAMS/eBay_Setup_shortcuts_1018.exe"
check "Desktop.ini written" test -f "$PROGRAMS/Desktop.ini"
check "start-menu shortcut" test -f "$START_MENU/Quillon.lnk"
check "start-menu shortcut to the read-me" test -f "$START_MENU/Liesmich.lnk"
check "desktop shortcut" test -f "$PUBLIC_DESKTOP/Quillon.lnk"
if command -v lnkinfo >/dev/null; then
  info=$(lnkinfo "$PUBLIC_DESKTOP/Quillon.lnk" 2>/dev/null)
  check "desktop shortcut points at Quillon.exe" has_text 'Quillon\Quillon.exe' "$info"
fi
reg=$(reg_dump 'HKLM\SOFTWARE\Quillon\Quillon')
echo "$reg"
check "product setting Exec" has_text 'C:\Program Files\Quillon\Quillon.exe' "$reg"
check "product setting DataPath" has_text 'C:\Program Files\Quillon\Daten\' "$reg"
keys=$(uninstall_keys)
check "one uninstall entry" test "$(grep -c . <<<"$keys")" = 1
entry=$(reg_dump "$(head -1 <<<"$keys")")
echo "$entry"
check "uninstall entry's UninstallString" has_text 'uninstall.exe" /uninst "UninstallKey=Quillon ' "$entry"
check "uninstall entry's publisher" has_text 'Quillon Software GmbH' "$entry"
listed=$(wine_out uninstaller --list)
check "the system lists the product" has_text "Quillon (Installation " "$listed"
# Both programs run in the background; each notes its start in a file.
wait_file "$(temp_dir)/quillon-started.txt"
wait_file "$(temp_dir)/partner-started.txt"
started=$(cat "$(temp_dir)/quillon-started.txt" 2>/dev/null)
check "Quillon.exe was started with its parameters" has_text '/autoclose' "$started"
partner=$(cat "$(temp_dir)/partner-started.txt" 2>/dev/null)
check "partner program started on a German system" test -n "$partner"
finish
