#!/usr/bin/env bash
# A standard user's attacks on the elevated setup and uninstaller, each done
# for real between the setup's steps (Wine runs every program elevated, so
# the setup runs here as an administrator would): a journal planted through
# the user's hive, a machine's anchor naming a journal the user wrote, and
# the data folder made a symbolic link to a victim folder before the quiet
# uninstall, and before the undo of a killed install. Each ends with the
# victim untouched and the log naming the refusal.
. "$(dirname "$0")/../rollback/lib.sh"
export LC_ALL=de_DE.UTF-8

# The sample with two files in the data folder that the uninstall removes
# (a folder's files go together, while the folder is held).
sed '/^action=saveifnotexists/a action=save,Source=info.txt,Filename=*DataPath*\\liesmich.txt\r\naction=save,Source=info.txt,Filename=*DataPath*\\notiz.txt\r' \
  "$Q_SAMPLE/setup.src" >"$WORK/hostile.src"
pack_setup "$WORK/Setup.exe" "$WORK/hostile.src"
VICTIM=$DRIVE_C/Victim
mkdir -p "$VICTIM"
printf 'keep' >"$VICTIM/keep.txt"
printf 'keep' >"$VICTIM/liesmich.txt"
printf 'keep' >"$VICTIM/notiz.txt"
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
# The user's own run recovers its hive's journal (Wine raises no program above the user's others).
OWN=$DRIVE_C/users/Public/Own
mkdir -p "$OWN" && printf 'left' >"$OWN/a.txt"
printf 'QuillonSetupJournal 1\nplace\tC:\\users\\Public\\Own\nfile\tC:\\users\\Public\\Own\\a.txt\t\t\n' >"$OWN/journal"
"$WINE" reg add 'HKCU\Software\QuillonSetup' /v RunJournal /d 'C:\users\Public\Own\journal' /f >/dev/null 2>&1
# No shortcut on the user's desktop: under Wine the next program's window then failed (X BadWindow).
silent user-own 'C:\broken\Setup.exe' /CURRENTUSER /NODESKTOP
check "the user's own run: its hive's journal recovered" grep -q '^Recovered: ' <<<"$LOG"
check "the user's own run: the journal's file undone" test ! -e "$OWN/a.txt"

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
check "linked data folder: the victim's files of the same names are untouched" \
  test "$(cat "$VICTIM/liesmich.txt" "$VICTIM/notiz.txt" 2>/dev/null)" = keepkeep
check "linked data folder: the log names the refusal" \
  has_text 'not followed: a link on the way to C:\Program Files\Quillon\Daten\liesmich.txt' "$LOG"
check "linked data folder: the rest of the installation is removed" test ! -e "$PROGRAM/Quillon.exe"

# --- the data folder made a link before the undo of a killed install ------------------
# The data file and a Desktop.ini there (its attributes set, so the undo
# restores them), then enough files that the kill lands before the commit.
rm -rf "$PROGRAM"
mkdir -p "$WORK/root/many"
for i in $(seq 0 199); do head -c 40960 /dev/urandom >"$WORK/root/many/f$i.bin"; done
printf 'keep' >"$VICTIM/Desktop.ini" && chmod 0444 "$VICTIM/Desktop.ini"
awk '{ print } /Filename=\*DataPath\*\\liesmich.txt/ {
  printf "action=desktopini,path=*DataPath*\\,icon=*PgmPath*\\Quillon.ico\r\n"
  for (i = 0; i < 200; i++) printf "action=save,Source=many/f%d.bin,Filename=*PgmPath*\\many\\f%d.bin\r\n", i, i }' \
  "$WORK/hostile.src" >"$WORK/killed.src"
pack_setup "$WORK/killed.exe" "$WORK/killed.src"
victim_files() { (cd "$VICTIM" && find . -printf '%p %s %m\n' -type f -exec md5sum {} + | sort); }
victim_before=$(victim_files)
"$WINE" 'C:\broken\killed.exe' /S >"$WORK/killed.out" 2>&1 </dev/null &
setup=$!
for ((i = 0; i < 20000; i++)); do
  [ "$(find "$PROGRAM/many" -name 'f*.bin' 2>/dev/null | wc -l)" -ge 20 ] && break
  kill -0 "$setup" 2>/dev/null || break
done
check "killed install: killed while it ran" kill -9 "$setup"
wait "$setup" 2>/dev/null
check "killed install: the data file was written" test -f "$PROGRAM/Daten/liesmich.txt"
check "killed install: the data folder's Desktop.ini was written" test -f "$PROGRAM/Daten/Desktop.ini"
mv "$PROGRAM/Daten" "$WORK/Daten.moved"
ln -s "$VICTIM" "$PROGRAM/Daten"
silent undo-linked 'C:\broken\killed.exe' '/D=C:\'
check "linked before the undo: the killed run was undone" grep -q '^Recovered: ' <<<"$LOG"
check "linked before the undo: the victim folder is byte-identical, its modes too" test "$(victim_files)" = "$victim_before"
check "linked before the undo: the log names the refusal" \
  has_text 'not followed: a link on the way to C:\Program Files\Quillon\Daten\liesmich.txt' "$LOG"
check "linked before the undo: the program's files are undone" test ! -e "$PROGRAM/many/f0.bin"
finish
