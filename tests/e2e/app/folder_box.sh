#!/usr/bin/env bash
# The folder box: an entry of blanks is refused and replaced by the default;
# a drive root is refused and stays; a valid folder without trailing
# backslash is used with one (the box keeps the text as typed).
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8
refused='text:Das eingegebene Verzeichnis kann nicht benutzt werden.'

pack_setup "$WORK/dl/Setup.exe"
start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120

drv set-edit "     " >/dev/null
drv click "Ja" >/dev/null
box=$(drv answer OK 30)
echo "$box"
check "blanks: error box caption" has_line "caption:Fehler" "$box"
check "blanks: folder refused" has_line "$refused" "$box"
window=$(drv dump)
check "blanks: the default folder is back" has_line 'edit:C:\Program Files\Quillon\' "$window"
check "blanks: the install question stays" has_line "button:Ja" "$window"

for root in 'C:\' 'D:' 'C:Quillon' '\\server'; do
  drv set-edit "$root" >/dev/null
  drv click "Ja" >/dev/null
  box=$(drv answer OK 30)
  check "$root: refused" has_line "$refused" "$box"
  window=$(drv dump)
  check "$root: stays in the box" has_line "edit:$root" "$window"
done
check "nothing installed yet" test ! -e "$PROGRAMS"

drv set-edit '  C:\Apps\Quillon  ' >/dev/null
drv click "Ja" >/dev/null
box=$(drv answer OK 120)
check "valid folder: installed" has_line 'text:Die Installation war erfolgreich.\rDas Programm wird nun gestartet.' "$box"
wait_exit 60
check "program in the folder with a backslash added" test -f "$DRIVE_C/Apps/Quillon/Quillon.exe"
check "uninstaller in that folder" test -f "$DRIVE_C/Apps/Quillon/uninstall.exe"
reg=$(reg_value 'HKLM\SOFTWARE\Quillon\Quillon' Exec)
check "Exec names the chosen folder" has_text 'C:\Apps\Quillon\Quillon.exe' "$reg"
check "default folder unused" test ! -e "$PROGRAMS/Quillon.exe"
# The script's data folder lies below the program folder, the chosen one.
check "data file below the chosen folder" test -f "$DRIVE_C/Apps/Quillon/Daten/Quillon.qdb"
check "nothing under the default folder" test ! -e "$PROGRAMS"
reg=$(wine_out reg query 'HKLM\SOFTWARE\Quillon\Quillon' /v DataPath)
check "DataPath names the chosen folder" has_text 'C:\Apps\Quillon\Daten' "$reg"
finish
