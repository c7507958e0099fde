#!/usr/bin/env bash
# A setup killed anywhere (Task Manager, a crash) leaves a journal; the next
# start of a setup completes it first: the machine is then in the earlier
# state or in the committed new one, never in between. Killed during a
# first install after some files, and after its uninst line (then the
# placeholder uninstaller, started in place silently or by hand with its
# window, undoes it and removes itself);
# during an upgrade 2.5 -> 2.6 after some files, while the uninstaller is
# written and during the commit; the update 2.5 -> 2.6 at half its files.
# Right after every kill no entry names an uninstaller that cannot remove
# the installation. Afterwards the version installed is complete and its
# uninstaller removes it completely. An upgrade killed, then the earlier
# version's uninstaller started from Apps & Features with its window: it
# completes the run first, then removes that version.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

make_package "$WORK/q25.exe" 2.5 300
make_package "$WORK/q26.exe" 2.6 300
UNINST_FIRST=1 make_package "$WORK/q25u.exe" 2.5 300

# start_silently CASE EXE: the setup under test, started silently.
start_silently() {
  "$WINE" "$2" /S >"$WORK/$1.out" 2>&1 </dev/null &
  SETUP=$!
}
# kill_when CASE EXE CONDITION: starts the setup silently and kills it at the
# first check that finds CONDITION (a shell command) true. The setup runs on
# between checks and stands still during each, so the kill lands on the
# state the condition saw. KILLED tells whether it was still running then.
kill_when() {
  start_silently "$1" "$2"
  kill_caught "$1" "$3"
}
kill_caught() {
  local name=$1 condition=$2
  KILLED=0
  if wait_until 300 caught_when "$condition" && ! setup_ended && kill -9 "$SETUP" 2>/dev/null; then KILLED=1; fi
  kill -9 "$SETUP" 2>/dev/null
  wait "$SETUP" 2>/dev/null
  check "$name: the setup was killed while it ran" test "$KILLED" = 1
  check "$name: right after the kill, no entry without a working uninstaller" entry_has_uninstaller
}
files_written() { find "$PROGRAM/many" -name 'f*.bin' 2>/dev/null | wc -l; }
# The next start of a setup: here one whose folder is refused, so that it
# changes nothing itself.
next_start() {
  silent "$1-next" 'C:\broken\q25.exe' /ALLOWDOWNGRADE '/D=C:\'
  check "$1: the next setup started (and refused its folder)" test "$EXIT_CODE" = 1
  check "$1: it completed the interrupted run first" grep -q '^Recovered: ' <<<"$LOG"
}

# --- a first install, killed after some files ----------------------------------------
empty=$(snapshot)
kill_when first-install 'C:\broken\q25.exe' '[ "$(files_written)" -ge 40 ]'
check "first install: the journal is left" test -n "$(journal)"
next_start first-install
same_as "first install" "$empty" "the machine as before"

kill_when after-uninst 'C:\broken\q25u.exe' '[ -e "$PROGRAM/uninstall.exe" ] && [ "$(files_written)" -ge 40 ]'
check "after the uninst line: no entry yet" test -z "$(uninstall_entries)"
silent placeholder "$PROGRAM_WIN\\uninstall.exe" /uninst
check "the placeholder in place: exit code 0" test "$EXIT_CODE" = 0
check "the placeholder: it undid the interrupted run" grep -q '^Recovered: ' <<<"$LOG"
wait_removed
same_as "the placeholder" "$empty" "the machine as before, the placeholder and its folder gone"
# The same through the window: no entry names the placeholder yet, so a
# person starts it by hand; it shows that it completed the run, and nothing else.
RECOVERED='box Informationen: Eine unterbrochene Installation wurde vollständig rückgängig gemacht oder abgeschlossen.'
kill_when after-uninst-window 'C:\broken\q25u.exe' '[ -e "$PROGRAM/uninstall.exe" ] && [ "$(files_written)" -ge 40 ]'
attend placeholder-window "$PROGRAM_WIN\\uninstall.exe"
check "the placeholder's window: the box says it completed the interrupted run" test "$SEEN" = "$RECOVERED"$'\n'
check "the placeholder's window: exit code 0" test "$EXIT_CODE" = 0
wait_removed
same_as "the placeholder's window" "$empty" "the machine as before, the placeholder and its folder gone"

# --- an upgrade, killed at three points -------------------------------------------------
silent install-25 'C:\broken\q25.exe'
check "2.5: installed" test "$EXIT_CODE" = 0
installed25=$(snapshot)

kill_when upgrade-files 'C:\broken\q26.exe' '[ "$(journal | grep -c "many\\\\f")" -ge 80 ]'
next_start upgrade-files
same_as "killed after some files" "$installed25" "2.5 complete as before"

# The update from 2.5 to 2.6 (its files differ throughout), killed at half.
"$Q_SETUPPACK" patch --quiet --from "$WORK/q25.exe" --to "$WORK/q26.exe" -o "$WORK/u.exe" >/dev/null
kill_when update-half 'C:\broken\u.exe' '[ "$(journal | grep -c "many\\\\f")" -ge 150 ]'
next_start update-half
same_as "the update killed at half" "$installed25" "2.5 complete as before"

# 2.6 as a complete upgrade leaves it: its files, its entry, nothing of
# the run's own (backups, temporary names, the journal).
is_committed_26() {
  check "$1: 2.6 is installed" test "$(entry_version)" = 2.6
  check "$1: with its new file and program" bash -c 'test -f "$1/new26.txt" && grep -q "version 2.6" "$1/Quillon.exe"' _ "$PROGRAM"
  check "$1: no backup or temporary file stays" test -z "$(find "$PROGRAM" -name '~q*')"
  check "$1: no journal stays" test -z "$(ls -d "$JOURNALS"/QuillonSetup-* 2>/dev/null)"
}

# The last entries before the commit come quickly: the kill may land before
# or after it, and either is a whole state.
kill_when upgrade-uninstaller 'C:\broken\q26.exe' 'journal | grep -q "uninstall\.exe"'
late=$(journal | grep -cx commit)
next_start upgrade-uninstaller
if [ "$late" = 0 ]; then
  same_as "killed while the uninstaller is written" "$installed25" "2.5 complete as before"
else
  echo "note: the kill came after the commit entry"
  is_committed_26 "killed while the uninstaller is written, after the commit entry"
  silent back-to-25 'C:\broken\q25.exe' /ALLOWDOWNGRADE
  installed25=$(snapshot)
fi

# The commit removes the replaced files' backups (~qb...) and waits for one
# that another program holds (two seconds, then it leaves it for the
# restart): with one held, the kill lands inside the commit.
start_silently upgrade-commit 'C:\broken\q26.exe'
check "commit: the setup is caught once it replaced files" wait_until 300 caught_when '[ "$(backups | wc -l)" -ge 2 ]'
hold "$(backups | head -1)"
kill -CONT "$SETUP"
kill_caught upgrade-commit 'journal | grep -qx commit'
release_holds
check "commit: the journal was left after its commit entry" bash -c 'grep -qx commit <<<"$1"' _ "$(journal)"
next_start upgrade-commit
is_committed_26 "killed during the commit"

# --- its uninstaller removes everything ---------------------------------------------------
entry=$(uninstall_entries | head -1)
silent uninstall "$PROGRAM_WIN\\uninstall.exe" /uninst "UninstallKey=${entry##*\\}"
check "uninstall: exit code 0" test "$EXIT_CODE" = 0
wait_removed
kept=$(find "$PROGRAM" -type f 2>/dev/null | grep -v '\.qdb$')
check "uninstall: no file of either version stays (only the kept data file)" test -z "$kept"
check "uninstall: the entry is gone" test -z "$(uninstall_entries)"

# --- an upgrade killed, then the uninstaller started from Apps & Features ----------------
# Through its window it completes the run, then asks and removes 2.5.
before25=$(snapshot)
silent af-25 'C:\broken\q25.exe'
kill_when af-upgrade 'C:\broken\q26.exe' '[ "$(journal | grep -c "many\\\\f")" -ge 80 ]'
entry=$(uninstall_entries | head -1)
attend af-uninstall "$PROGRAM_WIN\\uninstall.exe" /uninst "UninstallKey=${entry##*\\}"
check "from Apps & Features: the box says it completed the run, then the uninstall question" \
  test "$(head -2 <<<"$SEEN")" = "$RECOVERED"$'\n'"uninstall question"
wait_removed
same_as "from Apps & Features" "$before25" "the machine as before 2.5"
finish
