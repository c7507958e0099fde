#!/usr/bin/env bash
# Failures: a script line that fails shows "Es ist ein Fehler aufgetreten.",
# undoes the run and leaves only C:\Setup.log; a package whose "Section:Setup.bin" is corrupt shows
# the application's error box (caption "Setup") with zlib's message and
# changes nothing.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

# A script whose fourth line names no action this setup knows.
sed '4i action=bogus,Filename=*PgmPath*\\nothing.txt\r' "$Q_SAMPLE/setup.src" > "$WORK/failing.src"
pack_setup "$WORK/dl/Setup.exe" "$WORK/failing.src"
before=$(prefix_snapshot)
start_program 'C:\e2e\dl\Setup.exe'
check "setup window" drv wait-setup 120
drv click "Ja" >/dev/null
box=$(drv answer OK 120)
echo "$box"
check "failed run: error box" has_line "caption:Fehler" "$box"
check "failed run: message" has_line 'text:Es ist ein Fehler aufgetreten.\rDas Setup wird abgebrochen.' "$box"
wait_exit 60
check "failed run: exit code 0" test "$EXIT_CODE" = 0
log=$(tr -d '\r' < "$DRIVE_C/Setup.log" 2>/dev/null)
echo "$log"
check "setup log written" test -n "$log"
check "log names the failed command" has_text 'Errors: Command failed: action=bogus' "$log"
check "Quillon.exe not started after a failure" test ! -e "$(temp_dir)/quillon-started.txt"
# The lines before the failing one wrote files: the undo took them back.
rm -f "$DRIVE_C/Setup.log"
same_prefix "failed run: undone" "$before"

# A package whose packed files are corrupt: bytes in the middle of the last
# section's payload (Section:Setup.bin) are overwritten.
pack_setup "$WORK/bad/Setup.exe"
size=$(stat -c %s "$WORK/bad/Setup.exe")
bin=$("$Q_SETUPPACK" list "$WORK/bad/Setup.exe" | sed -n 's/.*Section:Setup.bin *\([0-9]*\) bytes.*/\1/p')
check "packed files section found" test -n "$bin"
printf '\x13\x37\xde\xad\xbe\xef\x00\x00\xff\xff\x55\xaa%.0s' $(seq 1 8) |
  dd of="$WORK/bad/Setup.exe" bs=1 seek=$((size - bin / 2)) conv=notrunc status=none
start_program 'C:\e2e\bad\Setup.exe'
box=$(drv answer OK 60)
echo "$box"
check "corrupt package: application error box" has_line "caption:Setup" "$box"
check "corrupt package: zlib's message with a full stop" has_line 'text:data error.' "$box"
window=$(drv dump)
check "corrupt package: the window shows no question" bash -c '! grep -q "^button:Ja" <<<"$1"' _ "$window"
drv close >/dev/null
wait_exit 30
check "corrupt package: exit code 0" test "$EXIT_CODE" = 0
check "corrupt package: nothing installed" test ! -e "$PROGRAMS"
check "corrupt package: no setup log" test ! -e "$DRIVE_C/Setup.log"
check "corrupt package: no settings" has_line '[HKLM\SOFTWARE\Quillon\Quillon] missing' "$(reg_dump 'HKLM\SOFTWARE\Quillon\Quillon')"
finish
