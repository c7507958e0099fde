#!/usr/bin/env bash
# "Durchsuchen ...": the file dialog serves as folder chooser. It opens with
# the hint "In den Zielordner springen" as title and file name; a chosen
# folder gets "Quillon\" appended unless its path already names the product;
# cancelling changes nothing.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"
mkdir -p "$DRIVE_C/Tools" "$DRIVE_C/QUILLON Daten"
start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120

drv click "Durchsuchen ..." >/dev/null
drv dialog 30 >/dev/null
screenshot folder_dialog
dialog=$(drv dialog-open 'C:\Tools\In den Zielordner springen' 30)
echo "$dialog"
check "dialog title" has_line "caption:In den Zielordner springen" "$dialog"
check "hint as the file name" has_line "file:In den Zielordner springen" "$dialog"
window=$(drv dump)
check "chosen folder with Quillon appended" has_line 'edit:C:\Tools\Quillon\' "$window"

drv click "Durchsuchen ..." >/dev/null
drv dialog-open 'C:\QUILLON Daten\In den Zielordner springen' 30 >/dev/null
window=$(drv dump)
check "a folder that names the product is taken as it is" has_line 'edit:C:\QUILLON Daten\' "$window"

drv click "Durchsuchen ..." >/dev/null
drv dialog-cancel 30 >/dev/null
window=$(drv dump)
check "cancel leaves the folder box" has_line 'edit:C:\QUILLON Daten\' "$window"

drv click "Abbrechen" >/dev/null
wait_exit 30
check "setup cancelled with exit code 0" test "$EXIT_CODE" = 0
check "nothing installed" test ! -e "$DRIVE_C/QUILLON Daten/Quillon.exe"
finish
