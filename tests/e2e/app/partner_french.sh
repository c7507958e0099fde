#!/usr/bin/env bash
# On a French system the window speaks French, the partner offer is hidden
# and the partner program never starts, but its unpacked file is deleted.
. "$(dirname "$0")/lib.sh"
export LC_ALL=fr_FR.UTF-8

pack_setup "$WORK/dl/Setup.exe"
start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120
window=$(drv dump)
echo "$window"
check "French install question" \
  has_line "static:Ce programme d'installation installe Quillon (version 2.5) sur votre ordinateur" "$window"
check "partner offer hidden" bash -c '! grep -q "eBay" <<<"$1"' _ "$window"
drv click "Oui" >/dev/null
box=$(drv answer OK 120)
echo "$box"
check "box caption stays German" has_line "caption:Informationen" "$box"
check "French success message" has_line "text:L'installation a réussi.\\rLe programme va maintenant démarrer." "$box"
wait_exit 60
check "program installed" test -f "$PROGRAMS/Quillon.exe"
# A partner program would have been started before the closing message:
# once none runs, its note would be there.
wait_file "$(temp_dir)/quillon-started.txt"
wait_closed eBay_Setup_shortcuts
check "partner program never started" test ! -e "$(temp_dir)/partner-started.txt"
check "partner file deleted" test ! -e "$PROGRAMS/eBay_Setup_shortcuts_1018.exe"
finish
