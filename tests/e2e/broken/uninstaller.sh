#!/usr/bin/env bash
# Damaged uninstallers: after a real installation, copies of its
# uninstall.exe whose "Section:Uninst" is flipped, random, empty or cut run
# under their own name; each ends with zlib's message in the application's
# error box (or quietly, for an empty one) and removes nothing. Then the real
# uninstaller runs after some of the installed files were deleted by hand: it
# removes the rest and nothing else.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/good.exe"
make_sentinels
clean_install
attend install 'C:\broken\good.exe'
ends_cleanly install
check "install: the setup succeeded" has_text 'box Informationen: Die Installation war erfolgreich.' "$SEEN"
check "install: the uninstaller is there" test -f "$TARGET/uninstall.exe"
printf 'my own notes' >"$TARGET/my-notes.txt"
take_snapshot
entry=$(uninstall_entries | head -1)
check "install: the uninstall entry is there" test -n "$entry"
installed=$(cd "$TARGET" && find . | sort)

# broken_uninstaller NAME: runs C:\broken\NAME\uninstall.exe; nothing may go.
broken_uninstaller() {
  local name=$1; shift
  attend "$name" "C:\\broken\\$name\\uninstall.exe"
  ends_cleanly "$name"
  check "$name: the uninstall question came" has_text 'uninstall question' "$SEEN"
  local want
  for want in "$@"; do check "$name: shows '$want'" has_text "$want" "$SEEN"; done
  check "$name: every installed file is still there" test "$(cd "$TARGET" && find . | sort)" = "$installed"
  check "$name: the uninstall entry is still there" has_key "$entry"
  check_sentinels "$name"
}
u=$TARGET/uninstall.exe
read -r _ _ uninst_start uninst_len < <($SECTIONS list "$u" | grep Uninst)
for n in flip random empty cut; do mkdir -p "$WORK/uninst-$n"; done
$SECTIONS flip "$u" Section:Uninst $((uninst_len / 2)) "$WORK/uninst-flip/uninstall.exe"
head -c 300 /dev/urandom >"$WORK/random.bin"
$SECTIONS payload "$u" Section:Uninst "$WORK/random.bin" "$WORK/uninst-random/uninstall.exe"
$SECTIONS setlen "$u" Section:Uninst -1 "$WORK/uninst-empty/uninstall.exe"
$SECTIONS cut "$u" $((uninst_start + uninst_len / 2)) "$WORK/uninst-cut/uninstall.exe"

broken_uninstaller uninst-flip 'box Setup: data error.'
broken_uninstaller uninst-random 'box Setup: '
# No information: nothing to remove, and (as the window keeps errors quiet) no
# box; the window closes by itself.
broken_uninstaller uninst-empty
check "uninst-empty: no message box" test "$(grep -c '^box' <<<"$SEEN")" = 0
broken_uninstaller uninst-cut 'box Setup: buffer error.'

# --- paths that no longer exist ---------------------------------------------------
rm -rf "$TARGET/info.txt" "$TARGET/Daten"
uninstall_string=$(reg_value "$entry" UninstallString)
key=$(sed -n 's/.*"UninstallKey=\(.*\)"$/\1/p' <<<"$uninstall_string")
attend missing-paths 'C:\BrokenTarget\uninstall.exe' /uninst "UninstallKey=$key"
ends_cleanly missing-paths
check "missing-paths: no message box" test "$(grep -c '^box' <<<"$SEEN")" = 0
check "missing-paths: the program is gone" test ! -e "$TARGET/Quillon.exe"
check "missing-paths: the user's own file stays" test -f "$TARGET/my-notes.txt"
check "missing-paths: the uninstall entry is gone" has_line "[$entry] missing" "$(drv reg "$entry")"
check_sentinels missing-paths
finish
