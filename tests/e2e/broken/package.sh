#!/usr/bin/env bash
# Damaged setup packages: the sample Setup.exe cut at a dozen offsets (inside
# the stub, inside each section's marker, length and payload), with flipped
# bytes in the script, in the packed files and in one file's own stream, with
# length fields of -1 and 2^31-1, and with language data behind each rejected
# byte-order mark or made of random bytes. Every case ends with a message or
# runs as described, and leaves alone what the setup did not write.
. "$(dirname "$0")/lib.sh"

export LC_ALL=de_DE.UTF-8
pack_setup "$WORK/good.exe"
make_sentinels
take_snapshot
good=$WORK/good.exe
read -r _ lng_at lng_start lng_len < <($SECTIONS list "$good" | grep Setup.lng)
read -r _ cmd_at cmd_start cmd_len < <($SECTIONS list "$good" | grep Setup.cmd)
read -r _ bin_at bin_start bin_len < <($SECTIONS list "$good" | grep Setup.bin)
read -r _ mark_at _ _ < <($SECTIONS list "$good" | grep BeginningMark)

ERROR7='Es ist ein Fehler aufgetreten.\rDas Setup wird abgebrochen.'
SUCCESS='Die Installation war erfolgreich.'

# case NAME EXPECTED-TEXT...: runs $WORK/NAME.exe; what it showed must hold
# every expected text.
case_run() {
  local name=$1; shift
  clean_install
  attend "$name" "C:\\broken\\$name.exe"
  ends_cleanly "$name"
  local want
  for want in "$@"; do
    check "$name: shows '$want'" has_text "$want" "$SEEN"
  done
  check_sentinels "$name"
}

# The cases come in two groups, each a test of its own: "cuts" and "damage".
group=${1:-all}
want() { [ "$group" = all ] || [ "$group" = "$1" ]; }

if want cuts; then
# --- cut ----------------------------------------------------------------------
cut_at() { $SECTIONS cut "$good" "$2" "$WORK/$1.exe"; }
cut_at cut-stub-early 4096
cut_at cut-stub-middle $((mark_at / 2))
cut_at cut-in-beginning-marker $((mark_at + 10))
cut_at cut-in-beginning-length $((mark_at + 24))
cut_at cut-in-lng-marker $((lng_at + 5))
cut_at cut-in-lng-length $((lng_start - 2))
cut_at cut-in-lng-payload $((lng_start + lng_len / 2))
cut_at cut-in-cmd-marker $((cmd_at + 8))
cut_at cut-in-cmd-length $((cmd_start - 1))
cut_at cut-in-cmd-payload $((cmd_start + cmd_len / 2))
cut_at cut-in-bin-marker $((bin_at + 3))
cut_at cut-in-bin-length $((bin_start - 3))
cut_at cut-in-bin-payload $((bin_start + bin_len / 2))
cut_at cut-last-byte $((bin_start + bin_len - 1))

# A program image cut short is refused by the system before it runs.
case_run cut-stub-early 'system: Bad EXE format'
case_run cut-stub-middle 'system: Bad EXE format'
# No sections (or no script): the question comes without a version; starting
# fails with the window's error.
for c in cut-in-beginning-marker cut-in-beginning-length cut-in-lng-marker cut-in-lng-length \
         cut-in-lng-payload cut-in-cmd-marker cut-in-cmd-length; do
  case_run $c 'install question: Dieses Setup-Programm installiert Quillon auf Ihrem Computer' "box Fehler: $ERROR7"
done
# A script stream cut short: zlib's message in the application's error box.
case_run cut-in-cmd-payload 'box Setup: buffer error.'
# Packed files missing: the path-only run works, the full run stops with the
# window's error. Cut short: every run decompresses them first, so zlib's
# message comes as the window opens.
case_run cut-in-bin-marker 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Fehler: $ERROR7"
case_run cut-in-bin-length 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Fehler: $ERROR7"
case_run cut-in-bin-payload 'box Setup: buffer error.'
case_run cut-last-byte 'box Setup: buffer error.'

fi

if want damage; then
# --- flipped bytes --------------------------------------------------------------
$SECTIONS flip "$good" Section:Setup.cmd $((cmd_len / 2)) "$WORK/flip-cmd.exe"
$SECTIONS flip "$good" Section:Setup.bin $((bin_len / 2)) "$WORK/flip-bin.exe"
$SECTIONS flipfile "$good" "$WORK/flip-file.exe"
case_run flip-cmd 'box Setup: data error.'
case_run flip-bin 'box Setup: data error.'
case_run flip-file 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' 'box Setup: data error.'
check "flip-file: nothing of the damaged file was written" test ! -e "$TARGET/Quillon.exe"

# --- length fields ----------------------------------------------------------------
$SECTIONS setlen "$good" Section:Setup.cmd -1 "$WORK/len-cmd-minus1.exe"
$SECTIONS setlen "$good" Section:Setup.cmd 2147483647 "$WORK/len-cmd-max.exe"
$SECTIONS setlen "$good" Section:Setup.bin -1 "$WORK/len-bin-minus1.exe"
$SECTIONS setlen "$good" Section:Setup.bin 2147483647 "$WORK/len-bin-max.exe"
$SECTIONS setlen "$good" Section:Setup.lng -1 "$WORK/len-lng-minus1.exe"
$SECTIONS setlen "$good" Section:Setup.lng 2147483647 "$WORK/len-lng-max.exe"
# -1: an empty payload.
case_run len-cmd-minus1 'install question: Dieses Setup-Programm installiert Quillon auf Ihrem Computer' "box Fehler: $ERROR7"
case_run len-bin-minus1 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Fehler: $ERROR7"
check "len-bin-minus1: the failed run wrote its log" test -f "$DRIVE_C/Setup.log"
# 2^31-1: the payload runs to the end of the file; a stream ends at its own
# end mark, so the setup installs as usual.
case_run len-cmd-max 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Informationen: $SUCCESS"
case_run len-bin-max 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Informationen: $SUCCESS"
check "len-bin-max: installed" test -f "$TARGET/Quillon.exe"
case_run len-lng-minus1 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Informationen: $SUCCESS"
case_run len-lng-max 'install question: Dieses Setup-Programm installiert Quillon (Version 2.5)' "box Informationen: $SUCCESS"

# --- language data ------------------------------------------------------------------
# On an English system the sample's data turns the window English; data behind
# a rejected byte-order mark, or random bytes, leave it German.
lng_case() {
  local name=$1 data=$2
  $SECTIONS payload "$good" Section:Setup.lng "$data" "$WORK/$name.exe"
  clean_install
  LC_ALL=en_US.UTF-8 attend "$name" "C:\\broken\\$name.exe"
  ends_cleanly "$name"
  check "$name: the question is German" has_text 'install question: Dieses Setup-Programm installiert Quillon' "$SEEN"
  check "$name: the setup installs" has_text "box Informationen: $SUCCESS" "$SEEN"
  check_sentinels "$name"
}
clean_install
LC_ALL=en_US.UTF-8 attend lng-english "C:\\broken\\good.exe"
ends_cleanly lng-english
check "lng-english: the sample's data makes the question English" \
  has_text 'install question: This setup program installs Quillon' "$SEEN"
body=$WORK/lng-body.bin
python3 -c 'import sys; sys.stdout.buffer.write(open(sys.argv[1], encoding="utf-8").read().encode("utf-16-le"))' \
  "$Q_SAMPLE/Setup.lng" >"$body"
for bom in utf8:efbbbf utf16be:feff utf32le:fffe0000 utf32be:0000feff; do
  { printf "$(sed 's/../\\x&/g' <<<"${bom#*:}")"; cat "$body"; } >"$WORK/lng-${bom%%:*}.bin"
  lng_case "lng-bom-${bom%%:*}" "$WORK/lng-${bom%%:*}.bin"
done
head -c 4000 /dev/urandom >"$WORK/lng-random.bin"
printf '\xff\xfe' | cat - <(head -c 4000 /dev/urandom) >"$WORK/lng-random-utf16.bin"
lng_case lng-random "$WORK/lng-random.bin"
lng_case lng-random-utf16 "$WORK/lng-random-utf16.bin"
fi

finish
