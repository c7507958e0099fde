#!/usr/bin/env bash
# A package built with the zstd codec ("Section:Setup.zst"): installed
# silently it writes every file byte for byte and its uninstaller removes
# them; installed through the window it moves the progress bar to its end.
# With one byte of its packed files flipped it installs nothing, silently (exit code 2) or through the window (zstd's
# message in a box), while the question is shown or after it.
. "$(dirname "$0")/lib.sh"

export LC_ALL=de_DE.UTF-8
# Large enough to be checked in the background while the question shows:
# text that compresses, then random bytes that do not.
sed '1a action=save,Source=words.txt,Filename=*PgmPath*\\words.txt\r\naction=save,Source=big.bin,Filename=*PgmPath*\\big.bin\r' \
  "$Q_SAMPLE/setup.src" >"$WORK/big.src"
mkdir -p "$WORK/root"
python3 -c 'import random; r = random.Random(5); w = ["w%d" % i for i in range(3000)]
print("\r\n".join(" ".join(r.choices(w, k=12)) for _ in range(200000)))' >"$WORK/root/words.txt"
head -c $((12 << 20)) /dev/urandom >"$WORK/root/big.bin"
PACK_ARGS="--codec zstd" pack_setup "$WORK/zstd.exe" "$WORK/big.src"
listing=$("$Q_SETUPPACK" list "$WORK/zstd.exe")
check "the package holds Section:Setup.zst, not Section:Setup.bin" \
  bash -c 'grep -q "Section:Setup.zst" <<<"$1" && ! grep -q "Section:Setup.bin" <<<"$1"' _ "$listing"
check "its save lines store the files in the frame (OrigLen only)" \
  bash -c '! grep "^action=save" <<<"$1" | grep -q ComprLen' _ "$listing"
read -r _ _ _ zst_len < <($SECTIONS list "$WORK/zstd.exe" | grep Setup.zst)
check "the packed files are large enough to be checked in the background" test "$zst_len" -gt $((8 << 20))
$SECTIONS flip "$WORK/zstd.exe" Section:Setup.zst -40 "$WORK/damaged.exe"
make_sentinels
SENTINELS=$(snapshot)

# Silent install: every file as packed, then the uninstaller removes them.
clean_install
"$WINE" 'C:\broken\zstd.exe' /S '/LOG=C:\broken\zstd.log' '/D=C:\BrokenTarget' >/dev/null 2>&1 </dev/null
check "silent install: exit code 0" test $? = 0
# (The partner's program is only unpacked for a person who asks for it.)
for file in Quillon.exe info.txt Quillon.ico words.txt big.bin; do
  check "silent install: $file byte for byte" cmp -s "$WORK/root/$file" "$TARGET/$file"
done
check "silent install: the data file byte for byte" cmp -s "$WORK/root/Quillon.qdb" "$TARGET/Daten/Quillon.qdb"
check "silent install: an uninstall entry" test -n "$(uninstall_entries)"
"$WINE" "$TARGET_WIN\\uninstall.exe" /S >/dev/null 2>&1 </dev/null
check "silent uninstall: exit code 0" test $? = 0
for _ in $(seq 1 100); do [ -e "$TARGET/Quillon.exe" ] || [ -e "$TARGET/uninstall.exe" ] || break; sleep 0.1; done
check "silent uninstall: the files are gone" bash -c '! ls "$1"/*.exe "$1"/*.txt "$1"/big.bin 2>/dev/null | grep -q .' _ "$TARGET"
check "silent uninstall: no uninstall entry" test -z "$(uninstall_entries)"
check_sentinels "zstd install and uninstall"

# Through the window: a person's install.
clean_install
attend window 'C:\broken\zstd.exe'
ends_cleanly window
check "window: big.bin byte for byte" cmp -s "$WORK/root/big.bin" "$TARGET/big.bin"
check "window: no failure box" bash -c '! grep -q "^box Fehler" <<<"$1"' _ "$SEEN"

nothing_installed() {
  local name=$1
  check "$name: no program folder" test ! -e "$TARGET"
  check "$name: no default program folder" test ! -e "$DRIVE_C/Program Files/Quillon"
  check "$name: no uninstall entry" test -z "$(uninstall_entries)"
  check "$name: no settings" bash -c '! "$WINE" reg query "HKLM\SOFTWARE\Quillon\Quillon" >/dev/null 2>&1'
  check_sentinels "$name"
}

# The damaged package, silently: exit code 2, the checksum's failure logged.
clean_install
"$WINE" 'C:\broken\damaged.exe' /S '/LOG=C:\broken\damaged.log' '/D=C:\BrokenTarget' >/dev/null 2>&1 </dev/null
check "damaged, silent: exit code 2" test $? = 2
check "damaged, silent: the log holds zstd's message" grep -q 'zstd: ' "$WORK/damaged.log"
nothing_installed damaged-silent

# The damaged package through the window.
clean_install
attend damaged 'C:\broken\damaged.exe'
ends_cleanly damaged
check "damaged: shows zstd's message" has_text 'zstd: ' "$SEEN"
nothing_installed damaged

finish
