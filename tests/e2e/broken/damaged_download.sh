#!/usr/bin/env bash
# A damaged download: a package large enough that its packed files are
# checked while the install question is shown, with bytes flipped near the
# end of "Section:Setup.bin". Whether "Ja" comes after the check or at once
# while it still runs, the setup shows zlib's "data error." and writes not
# one file, folder, log or registry entry.
. "$(dirname "$0")/lib.sh"

export LC_ALL=de_DE.UTF-8
# The large file comes first: everything behind it would be written before
# the damage is reached, were the data not checked first.
sed '1a action=save,Source=big.bin,Filename=*PgmPath*\\big.bin\r' "$Q_SAMPLE/setup.src" >"$WORK/big.src"
mkdir -p "$WORK/root"
head -c $((12 << 20)) /dev/urandom >"$WORK/root/big.bin"
pack_setup "$WORK/good.exe" "$WORK/big.src"
read -r _ _ _ bin_len < <($SECTIONS list "$WORK/good.exe" | grep Setup.bin)
check "the packed files are large enough to be checked in the background" test "$bin_len" -gt $((8 << 20))
$SECTIONS flip "$WORK/good.exe" Section:Setup.bin -40 "$WORK/damaged.exe"
make_sentinels
SENTINELS=$(snapshot)

nothing_installed() {
  local name=$1
  check "$name: shows zlib's message" has_text 'box Setup: data error.' "$SEEN"
  check "$name: no program folder" test ! -e "$TARGET"
  check "$name: no default program folder" test ! -e "$DRIVE_C/Program Files/Quillon"
  check "$name: no setup log" test ! -e "$DRIVE_C/Setup.log"
  check "$name: no uninstall entry" bash -c '! "$WINE" reg query "$1" 2>/dev/null | grep -qi "Uninstall\\\\Quillon "' _ "$UNINSTALL_ROOT"
  check "$name: no settings" bash -c '! "$WINE" reg query "HKLM\SOFTWARE\Quillon\Quillon" >/dev/null 2>&1'
  check_sentinels "$name"
}

# A person who answers the question as it appears.
clean_install
attend damaged 'C:\broken\damaged.exe'
ends_cleanly damaged
nothing_installed damaged

# "Ja" at once: clicked as soon as the button is there, again until the
# question is gone, then every box answered.
clean_install
"$WINE" 'C:\broken\damaged.exe' >/dev/null 2>&1 </dev/null &
pid=$!
drv wait-setup 60 >/dev/null
for _ in 1 2 3 4 5 6 7 8 9 10; do
  window=$(drv dump 2>/dev/null)
  has_text 'button:Ja' "$window" || break
  drv set-edit "$TARGET_WIN" >/dev/null
  drv click Ja >/dev/null
  sleep 0.2
done
SEEN=""
for _ in $(seq 1 60); do
  kill -0 "$pid" 2>/dev/null || break
  if box=$(drv wait-box 1); then
    SEEN+="box $(grep -m1 '^caption:' <<<"$box" | cut -d: -f2-): $(grep -m1 '^text:' <<<"$box" | cut -d: -f2-)"$'\n'
    drv answer OK 2 >/dev/null
  elif [ -n "$SEEN" ]; then
    bdrv close 2 >/dev/null
  fi
done
kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "at-once: no end"; }
wait "$pid" 2>/dev/null
echo "  at-once saw:"; sed 's/^/    /' <<<"$SEEN"
nothing_installed at-once

finish
