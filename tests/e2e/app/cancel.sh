#!/usr/bin/env bash
# Cancel during the install through the window. Logging off is refused
# while it runs. "Abbrechen", Esc and the close box ask first; "&Ja" undoes
# the run and a box says that nothing was changed, "&Nein" lets it go on to
# its end. A first install leaves the machine as it was; an upgrade leaves
# the earlier version complete (its files, settings, entry and uninstaller
# byte for byte), and so does an upgrade killed at half once the next setup
# has started.
#
# Each step during the run is taken by qdriver in the same process that sees
# the bar reach its mark, and the question it raises holds the run until the
# test answers: what the test sees is never a race with the run's end.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

# 6,000 files of random data (4 KiB each) behind the sample's own: the cost
# is per file, so the run lasts well beyond the moment a step is taken.
pack_with_files "$WORK/dl/Big25.exe" 6000 2.5 4096
pack_with_files "$WORK/dl/Big26.exe" 6000 2.6 4096
pack_setup "$WORK/dl/Setup25.exe"

# cancelled CASE: the box after the undo, the window gone, exit code 0.
cancelled() {
  local box
  box=$(drv answer OK 120)
  echo "$box"
  check "$1: an information box" has_line 'caption:Informationen' "$box"
  check "$1: it says the install was cancelled and nothing changed" \
    has_line 'text:Die Installation wurde abgebrochen.\rEs wurde nichts verändert.' "$box"
  wait_exit 60
  check "$1: the setup ended with exit code 0" test "$EXIT_CODE" = 0
}
# asks CASE BOX: the question whether to cancel, with Ja and Nein.
asks() {
  echo "$2"
  check "$1 asks first" has_line 'text:Möchten Sie die Installation wirklich abbrechen?' "$2"
  check "$1: a confirmation with Ja and Nein" \
    bash -c 'grep -qx "caption:Bestätigung" <<<"$1" && grep -qx "button:&Ja" <<<"$1" && grep -qx "button:&Nein" <<<"$1"' _ "$2"
}
question_shown() { has_line 'button:Ja' "$(drv dump)"; }

# A first install: "Abbrechen" at a fifth, then "&Ja".
before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Big25.exe'
drv wait-setup 120 >/dev/null
check "the question lets the session end" has_line 'end-session:allowed' "$(drv end-session)"
drv click Ja >/dev/null
check "first install: the bar moves" drv wait-progress 200 120 click:Abbrechen
asks "first install: Abbrechen" "$(drv wait-box 30)"
# The run waits while the question is up: it runs all the same.
check "first install: logging off is refused while it runs" has_line 'end-session:refused' "$(drv end-session)"
window=$(drv dump)
echo "$window"
check "first install: the progress panel offers Abbrechen" has_line 'button:Abbrechen' "$window"
screenshot cancel-progress
drv answer '&Ja' 30 >/dev/null
screenshot cancel-undoing
cancelled "first install"
check "first install: Quillon was not started" test ! -e "$(temp_dir)/quillon-started.txt"
check "first install: no setup log" test ! -e "$DRIVE_C/Setup.log"
same_prefix "first install" "$before"

# An upgrade: 2.5 installed, then 2.6 through the window, Esc and "&Ja" at
# about half (2.6 has replaced 2.5's program, read-me and icon by then).
start_program 'C:\e2e\dl\Setup25.exe' /S
wait_exit 60
check "2.5 installed" test "$EXIT_CODE" = 0
check "Quillon.exe closed itself" wait_quillon_closed
before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Big26.exe'
drv wait-setup 120 >/dev/null
drv click Ja >/dev/null
check "upgrade: the bar moves" drv wait-progress 300 120 escape
asks "upgrade: Esc" "$(drv wait-box 30)"
check "upgrade: 2.6 is being written" test -d "$PROGRAMS/many/s000"
drv answer '&Ja' 30 >/dev/null
cancelled upgrade
same_prefix "upgrade: 2.5 complete" "$before"
check "upgrade: the entry still names 2.5" test "$(reg_value "$(uninstall_keys | head -1)" DisplayVersion)" = 2.5

# The same upgrade killed at about half: the next setup undoes it, says so,
# and shows the install question, which then offers 2.6 over a complete 2.5.
start_program 'C:\e2e\dl\Big26.exe'
drv wait-setup 120 >/dev/null
drv click Ja >/dev/null
check "killed upgrade: ended at half" drv wait-progress 500 120 kill
wait "$STARTED_PID" 2>/dev/null
check "killed upgrade: its journal is left" \
  has_text 'RunJournal=REG_SZ:' "$(reg_dump 'HKLM\SOFTWARE\QuillonSetup')"
start_program 'C:\e2e\dl\Big26.exe'
drv wait-setup 120 >/dev/null
box=$(drv answer OK 120)
check "next setup: says that it undid the interrupted run" \
  has_line 'text:Eine unterbrochene Installation wurde vollständig rückgängig gemacht oder abgeschlossen.' "$box"
wait_until 60 question_shown
check "next setup: the install question" has_line 'static:Dieses Setup-Programm installiert Quillon (Version 2.6) auf Ihrem Computer' "$(drv dump)"
same_prefix "next setup: 2.5 complete" "$before"

# "&Nein" lets the run go on: the close box at a fifth, then 2.6 to its end.
drv click Ja >/dev/null
check "close box: the bar moves" drv wait-progress 200 120 close
asks "close box" "$(drv wait-box 30)"
drv answer '&Nein' 30 >/dev/null
box=$(drv answer OK 180)
echo "$box"
check "after Nein: the install went on to its end" \
  has_line 'text:Die Installation war erfolgreich.\rDas Programm wird nun gestartet.' "$box"
wait_exit 60
check "after Nein: exit code 0" test "$EXIT_CODE" = 0
check "after Nein: the entry names 2.6" test "$(reg_value "$(uninstall_keys | head -1)" DisplayVersion)" = 2.6
check "Quillon.exe closed itself" wait_quillon_closed
finish
