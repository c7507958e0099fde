#!/usr/bin/env bash
# Files in use. Over an installed 2.5, the 2.6 setup refuses a held
# Quillon.exe with its box and names any other held file it would replace in
# a box with "Wiederholen" and "Abbrechen": "Abbrechen" leaves the question
# on screen and the machine as it was (the old program not deleted either),
# "Wiederholen" once the holding program has ended installs. The uninstaller
# names a held file before it removes anything: "Abbrechen" removes nothing
# and closes.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8
: "${Q_HOLDFILE:?}"
cp "$Q_HOLDFILE" "$WORK/holdfile.exe"

# hold WINDOWS-PATH: a program holds the file open without sharing until release.
hold() {
  rm -f "$WORK/held"
  "$WINE" 'C:\e2e\holdfile.exe' "$1" 'C:\e2e\held' >/dev/null 2>&1 </dev/null &
  HOLDER_PID=$!
  local i
  for i in $(seq 1 100); do [ -e "$WORK/held" ] && return 0; sleep 0.1; done
  return 1
}
release() { kill "$HOLDER_PID" 2>/dev/null; wait "$HOLDER_PID" 2>/dev/null; rm -f "$WORK/held"; }
# retry_box CASE BOX: the box names info.txt and offers the two buttons.
retry_box() {
  echo "$2"
  check "$1: the box names the held file" has_text 'C:\Program Files\Quillon\info.txt' "$2"
  check "$1: the box says the files are in use" has_text 'Diese Dateien werden von einem anderen Programm benutzt:' "$2"
  check "$1: Wiederholen and Abbrechen" \
    bash -c 'grep -qx "button:Wiederholen" <<<"$1" && grep -qx "button:Abbrechen" <<<"$1"' _ "$2"
}

pack_setup "$WORK/dl/Setup25.exe"
sed 's/Version=2.5/Version=2.6/' "$Q_SAMPLE/setup.src" >"$WORK/setup26.src"
pack_setup "$WORK/dl/Setup26.exe" "$WORK/setup26.src"
start_program 'C:\e2e\dl\Setup25.exe' /S
wait_exit 60
check "2.5 installed" test "$EXIT_CODE" = 0
before=$(prefix_snapshot)

start_program 'C:\e2e\dl\Setup26.exe'
drv wait-setup 120 >/dev/null
check "the program held" hold 'C:\Program Files\Quillon\Quillon.exe'
drv click Ja >/dev/null
box=$(drv answer OK 60)
echo "$box"
check "held program: its box" has_text 'Das bereits installierte Programm ist entweder in Benutzung' "$box"
release

check "the read-me held" hold 'C:\Program Files\Quillon\info.txt'
drv click Ja >/dev/null
retry_box install "$(drv answer Abbrechen 60)"
window=$(drv dump)
check "install: after Abbrechen the question stays" has_line 'button:Ja' "$window"
same_prefix "install: Abbrechen" "$before"
drv click Ja >/dev/null
box=$(drv wait-box 60)
check "install: asked again" has_text 'C:\Program Files\Quillon\info.txt' "$box"
release
box=$(drv answer Wiederholen 10)
box=$(drv answer OK 120)
echo "$box"
check "install: after Wiederholen installed" has_line 'text:Die Installation war erfolgreich.\rDas Programm wird nun gestartet.' "$box"
wait_exit 60
check "install: exit code 0" test "$EXIT_CODE" = 0
check "install: the entry names 2.6" test "$(reg_value "$(uninstall_keys | head -1)" DisplayVersion)" = 2.6
check "Quillon.exe closed itself" wait_quillon_closed

key=$(uninstall_keys | head -1)
param=$(reg_value "$key" UninstallString | sed -n 's/.*\(UninstallKey=[^"]*\)".*/\1/p')
before=$(prefix_snapshot)
check "the read-me held again" hold 'C:\Program Files\Quillon\info.txt'
start_program 'C:\Program Files\Quillon\uninstall.exe' /uninst "$param"
drv wait-setup 120 >/dev/null
drv click Ja >/dev/null
retry_box uninstall "$(drv answer Abbrechen 60)"
wait_exit 60
check "uninstall: Abbrechen closes, exit code 0" test "$EXIT_CODE" = 0
same_prefix "uninstall: Abbrechen removed nothing" "$before"

release
finish
