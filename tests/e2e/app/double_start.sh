#!/usr/bin/env bash
# A second setup, or an uninstaller, started while a setup window is open
# refuses to run: an error box "Fehler" with the double-start message, then
# exit code 0; the first setup carries on.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"
cp "$WORK/dl/Setup.exe" "$WORK/dl/uninstall.exe"
start_program 'C:\e2e\dl\Setup.exe'
first=$STARTED_PID
check "first setup window" drv wait-setup 120

for second in 'C:\e2e\dl\Setup.exe' 'C:\e2e\dl\uninstall.exe'; do
  start_program "$second"
  box=$(drv answer OK 60)
  echo "$box"
  check "$second: error box caption" has_line "caption:Fehler" "$box"
  check "$second: double-start message" \
    has_line "text:Doppelstart: Es wurde ein anderes laufendes Setup gefunden." "$box"
  check "$second: button OK" has_line "button:OK" "$box"
  wait_exit 30
  check "$second: exit code 0" test "$EXIT_CODE" = 0
done

STARTED_PID=$first
check "the first setup is still there" drv wait-setup 5
drv click "Abbrechen" >/dev/null
wait_exit 30
check "first setup cancelled with exit code 0" test "$EXIT_CODE" = 0
check "nothing installed" test ! -e "$PROGRAMS"
finish
