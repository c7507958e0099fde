#!/usr/bin/env bash
# A setup without language section reads Setup.lng from beside itself; the
# uninstaller it writes carries those translations and starts in the same
# language. A setup with the section ignores a file beside it.
. "$(dirname "$0")/lib.sh"
export LC_ALL=fr_FR.UTF-8

pack_setup "$WORK/dl/Setup.exe" "$Q_SAMPLE/setup.src" -
check "setup has no language section" bash -c '! "$1" list "$2" | grep -q "Section:Setup.lng"' _ "$Q_SETUPPACK" "$WORK/dl/Setup.exe"
# The language file as a Windows editor saves it: UTF-16LE with byte-order mark.
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$Q_SAMPLE/Setup.lng"; } > "$WORK/dl/Setup.lng"

start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120
window=$(drv dump)
check "setup speaks French from the file beside it" has_line "button:Oui" "$window"
drv click "Oui" >/dev/null
drv answer OK 120 >/dev/null
wait_exit 60
check "installed" test -f "$PROGRAMS/uninstall.exe"
check "Quillon.exe closed itself" wait_quillon_closed
check "uninstaller carries the translations" bash -c '"$1" list "$2" | grep -q "Section:Setup.lng"' _ "$Q_SETUPPACK" "$PROGRAMS/uninstall.exe"

start_program 'C:\Program Files\Quillon\uninstall.exe'
check "uninstall window" drv wait-setup 120
window=$(drv dump)
echo "$window"
check "uninstall question in French" has_line "static:Voulez-vous supprimer Quillon de votre ordinateur ?" "$window"
check "uninstall heading in French" has_line "static:Désinstallation" "$window"
screenshot uninstall_language-question
drv click "Oui" >/dev/null
wait_exit 60
check "removed" test ! -e "$PROGRAMS/Quillon.exe"

# A setup with its own language section does not read a file beside it.
pack_setup "$WORK/dl2/Setup.exe"
{ printf '\xff\xfe'; sed 's/^FR=Oui$/FR=D accord/' "$Q_SAMPLE/Setup.lng" | iconv -f UTF-8 -t UTF-16LE; } > "$WORK/dl2/Setup.lng"
start_program 'C:\e2e\dl2\Setup.exe'
check "setup with section: window" drv wait-setup 120
window=$(drv dump)
check "the section's translations win over the file beside" has_line "button:Oui" "$window"
drv click "Annuler" >/dev/null
wait_exit 30
finish
