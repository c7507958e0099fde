#!/usr/bin/env bash
# The folder box: an entry of blanks is refused and replaced by the default;
# a drive root is refused and stays; a valid folder without trailing
# backslash is used with one (the box keeps the text as typed). A folder
# longer than a system without long paths can hold (Wine has none) is
# refused with its own message before anything is written; a long one
# within the limit installs and uninstalls.
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
# 248 characters with the backslash are the most; one more is refused.
deep='C:\Apps'
while [ ${#deep} -lt 230 ]; do deep+='\Unterordner'; done
deep=${deep:0:230}
too_long="$deep\\$(printf 'x%.0s' $(seq 1 $((248 - 230 - 2))))y"
drv set-edit "$too_long" >/dev/null
drv click "Ja" >/dev/null
box=$(drv answer OK 30)
echo "$box"
check "${#too_long} characters: refused as too long" \
  has_line 'text:Der Ordnername ist zu lang.\rDieses System erlaubt höchstens 248 Zeichen.' "$box"
window=$(drv dump)
check "too long: stays in the box" has_line "edit:$too_long" "$window"
check "nothing installed yet" test ! -e "$PROGRAMS"
check "nothing written below the long folder" test ! -e "$DRIVE_C/Apps"

# A long folder within the limit (the journal's temporary names beside the
# files need their room too) installs and uninstalls.
folder="${deep:0:190}\Quillon"
unix_folder="$DRIVE_C/${folder:3}"
unix_folder=${unix_folder//\\//}
drv set-edit "  $folder  " >/dev/null
drv click "Ja" >/dev/null
box=$(drv answer OK 120)
check "valid folder: installed" has_line 'text:Die Installation war erfolgreich.\rDas Programm wird nun gestartet.' "$box"
wait_exit 60
check "program in the ${#folder}-character folder with a backslash added" test -f "$unix_folder/Quillon.exe"
check "uninstaller in that folder" test -f "$unix_folder/uninstall.exe"
reg=$(reg_value 'HKLM\SOFTWARE\Quillon\Quillon' Exec)
check "Exec names the chosen folder" has_text "$folder\Quillon.exe" "$reg"
check "default folder unused" test ! -e "$PROGRAMS/Quillon.exe"
# The script's data folder lies below the program folder, the chosen one.
check "data file below the chosen folder" test -f "$unix_folder/Daten/Quillon.qdb"
check "nothing under the default folder" test ! -e "$PROGRAMS"
reg=$(wine_out reg query 'HKLM\SOFTWARE\Quillon\Quillon' /v DataPath)
check "DataPath names the chosen folder" has_text "$folder\Daten" "$reg"

command=$(reg_value "$(uninstall_keys | head -1)" UninstallString)
param=$(sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p' <<<"$command")
rm -f "$unix_folder/Daten/Quillon.qdb"
wait_quillon_closed
start_program "$folder\uninstall.exe" /uninst "$param" /S
wait_exit 60
check "long folder: uninstalled, exit code 0" test "$EXIT_CODE" = 0
for i in $(seq 1 100); do [ -e "$unix_folder" ] || break; sleep 0.1; done
check "long folder: the program folder removed" test ! -e "$unix_folder"
finish
