#!/usr/bin/env bash
# A standard user's attacks on the elevated setup and uninstaller, each done
# for real between the setup's steps (Wine runs every program elevated, so
# the setup runs here as an administrator would): a journal planted through
# the user's hive, a machine's anchor naming a journal the user wrote, and
# the data folder made a symbolic link to a victim folder before the quiet
# uninstall. Each ends with the victim untouched and the log naming the
# refusal.
. "$(dirname "$0")/../rollback/lib.sh"
export LC_ALL=de_DE.UTF-8

# The sample with a file in the data folder that the uninstall removes.
sed '/^action=saveifnotexists/a action=save,Source=info.txt,Filename=*DataPath*\\liesmich.txt\r' \
  "$Q_SAMPLE/setup.src" >"$WORK/hostile.src"
pack_setup "$WORK/Setup.exe" "$WORK/hostile.src"
VICTIM=$DRIVE_C/Victim
mkdir -p "$VICTIM"
printf 'keep' >"$VICTIM/keep.txt"
printf 'keep' >"$VICTIM/liesmich.txt"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
# journal FOLDER: a journal that deletes the victim's file and starts a program at every logon.
journal() {
  mkdir -p "$1"
  printf 'QuillonSetupJournal 1\nfile\tC:\\Victim\\keep.txt\t\t\nvalue\tM\t%s\tEvil\t1\t%s\n' \
    'SOFTWARE\Microsoft\Windows\CurrentVersion\Run' "$(printf 'C:\\evil.exe' | od -An -tx1 | tr -d ' \n')00" >"$1/journal"
}
victim_untouched() {
  check "$1: the victim's file is untouched" test "$(cat "$VICTIM/keep.txt")" = keep
  check "$1: no program starts at logon" bash -c '! grep -q Evil <<<"$1"' _ "$(drv reg "$run_key")"
}

# --- a journal planted through the user's hive ----------------------------------
journal "$DRIVE_C/users/Public/Planted"
"$WINE" reg add 'HKCU\Software\QuillonSetup' /v RunJournal /d 'C:\users\Public\Planted\journal' /f >/dev/null 2>&1
silent user-anchor 'C:\broken\Setup.exe'
check "user's anchor: the install goes on" test "$EXIT_CODE" = 0
victim_untouched "user's anchor"
check "user's anchor: the log says it was not replayed" \
  has_text 'journal not replayed: C:\users\Public\Planted\journal (the user' "$LOG"
"$WINE" reg delete 'HKCU\Software\QuillonSetup' /f >/dev/null 2>&1

# --- the machine's anchor naming a journal the user wrote ---------------------------
"$WINE" reg add 'HKLM\Software\QuillonSetup' /v RunJournal /d 'C:\users\Public\Planted\journal' /f >/dev/null 2>&1
silent machine-anchor 'C:\broken\Setup.exe'
check "machine's anchor: the install goes on" test "$EXIT_CODE" = 0
victim_untouched "machine's anchor"
check "machine's anchor: the log says why it was not replayed" \
  has_text 'journal not replayed: C:\users\Public\Planted\journal (not in a journal folder' "$LOG"
check "machine's anchor: set aside for inspection" \
  test "$(reg_value 'HKLM\Software\QuillonSetup' RefusedJournal)" = 'C:\users\Public\Planted\journal'

# --- the data folder made a link before the quiet uninstall ---------------------------
check "the data folder holds the file the uninstall removes" test -f "$PROGRAM/Daten/liesmich.txt"
rm -rf "$PROGRAM/Daten"
ln -s "$VICTIM" "$PROGRAM/Daten"
silent linked-uninstall "$PROGRAM_WIN\\uninstall.exe"
check "linked data folder: the uninstall ends" test "$EXIT_CODE" = 0
check "linked data folder: the victim's file of the same name is untouched" \
  test "$(cat "$VICTIM/liesmich.txt" 2>/dev/null)" = keep
check "linked data folder: the log names the refusal" \
  has_text 'not followed: a link on the way to C:\Program Files\Quillon\Daten\liesmich.txt' "$LOG"
check "linked data folder: the rest of the installation is removed" test ! -e "$PROGRAM/Quillon.exe"
finish
