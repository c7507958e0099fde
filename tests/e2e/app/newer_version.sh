#!/usr/bin/env bash
# A newer installed version (registry "Ver" 3.0 and an existing "Exec")
# brings the confirmation box; "&Nein" ends the setup without changes.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/dl/Setup.exe"
mkdir -p "$DRIVE_C/Quillon"
cp "$Q_QUILLON" "$DRIVE_C/Quillon/Quillon.exe"
"$WINE" reg add 'HKLM\SOFTWARE\Quillon\Quillon' /v Ver /d 3.0 /f >/dev/null 2>&1
"$WINE" reg add 'HKLM\SOFTWARE\Quillon\Quillon' /v Exec /d 'C:\Quillon\Quillon.exe' /f >/dev/null 2>&1

start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120
box=$(drv answer "&Nein" 30)
echo "$box"
check "confirmation caption" has_line "caption:Bestätigung" "$box"
check "newer-version question" \
  has_line 'text:Es ist bereits eine neuere Version installiert.\rMöchten Sie trotzdem dieses alte Setup verwenden?' "$box"
check "buttons &Ja and &Nein" bash -c 'grep -qx "button:&Ja" <<<"$1" && grep -qx "button:&Nein" <<<"$1"' _ "$box"
wait_exit 30
check "setup ended with exit code 0" test "$EXIT_CODE" = 0
check "nothing installed in the old folder" test "$(ls "$DRIVE_C/Quillon")" = "Quillon.exe"
check "nothing installed in the default folder" test ! -e "$PROGRAMS"
check "no uninstall entry" test -z "$(uninstall_keys)"
reg=$(reg_dump 'HKLM\SOFTWARE\Quillon\Quillon')
check "settings unchanged" bash -c 'grep -qx "Ver=REG_SZ:3.0" <<<"$1" && ! grep -q DataPath <<<"$1"' _ "$reg"

# Same version installed: no question, the install question stays.
"$WINE" reg add 'HKLM\SOFTWARE\Quillon\Quillon' /v Ver /d 2.5 /f >/dev/null 2>&1
watch_windows boxes
start_program 'C:\e2e\dl\Setup.exe'
check "equal version: the setup window" drv wait-setup 120
window=$(drv dump)
check "equal version: the earlier folder is proposed" has_line 'edit:C:\Quillon\' "$window" || echo "$window"
drv key escape >/dev/null
wait_exit 30
check "Esc cancels the install question" test "$EXIT_CODE" = 0 || echo "exit code $EXIT_CODE"
check "equal version: no confirmation box while it ran" no_window_seen
check "still nothing installed" test ! -e "$PROGRAMS"
finish
