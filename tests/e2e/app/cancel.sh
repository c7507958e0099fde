#!/usr/bin/env bash
# Cancel during the install through the window. Logging off is refused
# while it runs. The close box and Esc ask first ("&Nein" lets the install
# go on); "Abbrechen" and "&Ja" at about half
# undo the run, and a box says that nothing was changed. A first install
# leaves the machine as it was; an upgrade leaves the earlier version complete
# (its files, settings, entry and uninstaller byte for byte), and so does an
# upgrade killed at half once the next setup has started.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

# 6,000 files of random data (4 KiB each) behind the sample's own, so that
# the install takes a few seconds also on a fast machine (the cost is per file).
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

# A first install: the close box, "&Nein", then "Abbrechen", "&Ja".
before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Big25.exe'
drv wait-setup 120 >/dev/null
check "the question lets the session end" has_line 'end-session:allowed' "$(drv end-session)"
drv click Ja >/dev/null
check "first install: the bar moves" drv wait-progress 200 120
check "first install: logging off is refused while it runs" has_line 'end-session:refused' "$(drv end-session)"
window=$(drv dump)
echo "$window"
check "first install: the progress panel offers Abbrechen" has_line 'button:Abbrechen' "$window"
screenshot cancel-progress
drv close >/dev/null
box=$(drv answer '&Nein' 30)
echo "$box"
check "first install: the close box asks first" \
  has_line 'text:Möchten Sie die Installation wirklich abbrechen?' "$box"
check "first install: a confirmation with Ja and Nein" \
  bash -c 'grep -qx "caption:Bestätigung" <<<"$1" && grep -qx "button:&Ja" <<<"$1" && grep -qx "button:&Nein" <<<"$1"' _ "$box"
# The run waited while the box was up; after "Nein" it goes on, and
# Abbrechen (still offered) asks again. No wait here: on a fast machine the
# run would reach its commit first.
drv click Abbrechen >/dev/null
box=$(drv answer '&Ja' 30)
check "first install: Abbrechen asks as well" has_line 'text:Möchten Sie die Installation wirklich abbrechen?' "$box"
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
check "upgrade: the bar moves" drv wait-progress 300 120
check "upgrade: 2.6 is being written" test -d "$PROGRAMS/many/s000"
drv key escape >/dev/null
box=$(drv answer '&Ja' 30)
check "upgrade: Esc asks first" has_line 'text:Möchten Sie die Installation wirklich abbrechen?' "$box"
cancelled upgrade
same_prefix "upgrade: 2.5 complete" "$before"
check "upgrade: the entry still names 2.5" test "$(reg_value "$(uninstall_keys | head -1)" DisplayVersion)" = 2.5

# The same upgrade killed at about half: the next setup undoes it, says so,
# and shows the install question, which then offers 2.6 over a complete 2.5.
start_program 'C:\e2e\dl\Big26.exe'
drv wait-setup 120 >/dev/null
drv click Ja >/dev/null
drv wait-progress 500 120 >/dev/null
kill -KILL "$STARTED_PID"
wait "$STARTED_PID" 2>/dev/null
check "killed upgrade: its journal is left" \
  has_text 'RunJournal=REG_SZ:' "$(reg_dump 'HKLM\SOFTWARE\QuillonSetup')"
start_program 'C:\e2e\dl\Big26.exe'
drv wait-setup 120 >/dev/null
box=$(drv answer OK 120)
check "next setup: says that it undid the interrupted run" \
  has_line 'text:Eine unterbrochene Installation wurde vollständig rückgängig gemacht oder abgeschlossen.' "$box"
for i in $(seq 1 100); do has_line 'button:Ja' "$(drv dump)" && break; sleep 0.2; done
check "next setup: the install question" has_line 'static:Dieses Setup-Programm installiert Quillon (Version 2.6) auf Ihrem Computer' "$(drv dump)"
same_prefix "next setup: 2.5 complete" "$before"
drv click Abbrechen >/dev/null
wait_exit 30
finish
