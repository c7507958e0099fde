#!/usr/bin/env bash
# The update of the sample from 2.5 to 2.6, run silently: over 2.5 it leaves
# the machine as the full 2.6 setup over 2.5 does (every file, the product's
# keys, the entry; the entry's name and date, which carry the time of the
# first install, aside), and its uninstaller removes everything. Over no
# installation, over 2.4 and over 2.5 with a file changed it is refused with
# exit code 8 and the log names what differs, and nothing is changed.
. "$(dirname "$0")/../rollback/lib.sh"
export LC_ALL=de_DE.UTF-8

make_package "$WORK/q24.exe" 2.4 0
make_package "$WORK/q25.exe" 2.5 0
make_package "$WORK/q26.exe" 2.6 0
"$Q_SETUPPACK" patch --quiet --from "$WORK/q25.exe" --to "$WORK/q26.exe" -o "$WORK/u.exe" >/dev/null
listing=$("$Q_SETUPPACK" list "$WORK/u.exe")
check "the update patches Quillon.exe and carries new26.txt whole" \
  grep -qE '^  patched \([0-9]+ bytes\)  \*PgmPath\*\\Quillon.exe$' <<<"$listing"
check "... and new26.txt whole" grep -qF 'whole (12 bytes)  *PgmPath*\new26.txt' <<<"$listing"
# The same installation made at another second: the entry's name (also in
# the uninstaller's information), and the shortcuts (they carry their
# target's file times).
same_install() {
  { snapshot | sed -E 's/^[0-9a-f]{32} (.*(\.lnk|uninstall\.exe))$/(varies) \1/'
    "$Q_SETUPPACK" list "$PROGRAM/uninstall.exe"; } | sed -E 's/Quillon [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9.]{8}/Quillon <time>/g' |
    # The entry's name with its time is compressed in the information: its size varies by a byte.
    sed -E 's/^(.*uninstall\.exe: )[0-9]+ bytes/\1<size>/; s/^(  Section:Uninst  )[0-9]+ bytes/\1<size>/'
}
uninstall_all() {
  silent "$1-uninstall" 'C:\Program Files\Quillon\uninstall.exe'
  check "$1: uninstalled" test "$EXIT_CODE" = 0
  for i in $(seq 1 100); do [ -e "$PROGRAM/uninstall.exe" ] || break; sleep 0.1; done
  rm -rf "$PROGRAM"  # the kept data file
}

# --- refused over anything but 2.5, nothing changed --------------------------
before=$(snapshot)
silent nothing 'C:\broken\u.exe'
check "over nothing: exit code 8" test "$EXIT_CODE" = 8
check "over nothing: the log says 2.5 is not installed" grep -q 'version 2.5 is not installed' <<<"$LOG"
same_as "over nothing" "$before" "nothing changed"

silent q24 'C:\broken\q24.exe'
before=$(snapshot)
silent over24 'C:\broken\u.exe'
check "over 2.4: exit code 8" test "$EXIT_CODE" = 8
check "over 2.4: the log names the versions" grep -q 'version 2.4 is installed, the update is for 2.5' <<<"$LOG"
same_as "over 2.4" "$before" "nothing changed"
uninstall_all q24

silent q25 'C:\broken\q25.exe'
check "2.5 installed" test "$EXIT_CODE" = 0
printf 'repaired' >>"$PROGRAM/Quillon.exe"
before=$(snapshot)
silent edited 'C:\broken\u.exe'
check "over a changed file: exit code 8" test "$EXIT_CODE" = 8
check "over a changed file: the log names it" \
  grep -qF 'C:\Program Files\Quillon\Quillon.exe differs from the version the update was made for' <<<"$LOG"
same_as "over a changed file" "$before" "nothing changed"
uninstall_all edited

# --- over 2.5: what the full setup leaves ------------------------------------
silent q25 'C:\broken\q25.exe'
silent full 'C:\broken\q26.exe'
check "the full 2.6 setup over 2.5" test "$EXIT_CODE" = 0
full=$(same_install)
uninstall_all full
silent q25 'C:\broken\q25.exe'
silent update 'C:\broken\u.exe'
check "the update over 2.5: exit code 0" test "$EXIT_CODE" = 0
[ "$EXIT_CODE" = 0 ] || echo "$LOG"
if [ "$(same_install)" = "$full" ]; then ok "the machine is as after the full setup"; else
  fail "the machine is as after the full setup"; diff <(echo "$full") <(same_install) | head -30; fi
silent update-uninstall 'C:\Program Files\Quillon\uninstall.exe'
check "its uninstaller: exit code 0" test "$EXIT_CODE" = 0
for i in $(seq 1 100); do [ -e "$PROGRAM/uninstall.exe" ] || break; sleep 0.1; done
left=$(cd "$PROGRAM" 2>/dev/null && find . | sort | tr '\n' ' ')
check "only the kept data file stays ($left)" test "$left" = '. ./Daten ./Daten/Quillon.qdb '
check "the entry is gone" test -z "$(drv reg "$UNINSTALL_ROOT" | grep -i 'Quillon ')"
finish
