#!/usr/bin/env bash
# Limits: a command line of 10,000 parameters, one of 40,000 characters
# (the system's own limit is 32,767) and one just below it, and a script whose paths are longer
# than 260 characters. The system refuses the command line beyond its limit
# and the program starts as usual below it; a program folder too long for a
# system without long paths is refused with the window's box, a file name
# too long ends the install with the window's error; nothing else is touched.
. "$(dirname "$0")/lib.sh"
export LC_ALL=de_DE.UTF-8

pack_setup "$WORK/good.exe"
make_sentinels
take_snapshot

# --- command lines ----------------------------------------------------------------
# 10,000 parameters, the last one "/uninst": the uninstall question. One
# letter each, so that the line stays within the system's 32,767 characters.
params=()
for i in $(seq 1 9999); do params+=(x); done
params+=(/uninst)
clean_install
attend many-params 'C:\broken\good.exe' "${params[@]}"
ends_cleanly many-params
check "many-params: the last of 10,000 parameters counts" has_text 'uninstall question' "$SEEN"
check_sentinels many-params

# 40,000 characters in one parameter: beyond the system's limit, so the
# system refuses to start the program (Wine: exit code 1, no window).
long=$(head -c 40000 /dev/zero | tr '\0' 'x')
clean_install
attend long-param 'C:\broken\good.exe' "$long"
echo "  long-param saw (exit code $EXIT_CODE):"; sed 's/^/    /' <<<"$SEEN"
check "long-param: the system refuses the command line (no crash, no hang)" \
  test "$EXIT_CODE" = 1 -a "$(grep -c '^box\|question' <<<"$SEEN")" = 0
check_sentinels long-param

# Just under the limit (32,000 characters): the program takes it.
long=$(head -c 32000 /dev/zero | tr '\0' 'x')
clean_install
attend near-limit-param 'C:\broken\good.exe' "$long" /nothing
ends_cleanly near-limit-param
check "near-limit-param: the setup runs" has_text 'install question' "$SEEN"
check_sentinels near-limit-param

# --- paths longer than 260 characters --------------------------------------------
deep='C:\BrokenTarget\'$(printf 'Verzeichnis%03d\\' $(seq 1 22))
sed -e "s|PgmPath=\*Programs\*\\\\Quillon|PgmPath=${deep//\\/\\\\}Quillon|" "$Q_SAMPLE/setup.src" >"$WORK/deep.src"
grep -q 'Verzeichnis022' "$WORK/deep.src" || fail "deep.src: the long folder is not in the script"
pack_setup "$WORK/deep.exe" "$WORK/deep.src"
clean_install
ATTEND_KEEP_FOLDER=1 attend deep-path 'C:\broken\deep.exe'
ends_cleanly deep-path
check "deep-path: the install question came" has_text 'install question' "$SEEN"
# Wine has no long paths: the folder is refused before anything is written.
check "deep-path: the folder is refused as too long" \
  has_text 'box Fehler: Der Ordnername ist zu lang.\rDieses System erlaubt höchstens 248 Zeichen.' "$SEEN"
check "deep-path: nothing installed" test ! -e "$TARGET"
check_sentinels deep-path

name=$(head -c 300 /dev/zero | tr '\0' 'n')
sed -e "s|Filename=\*PgmPath\*\\\\info.txt|Filename=*PgmPath*\\\\$name.txt|" "$Q_SAMPLE/setup.src" >"$WORK/longname.src"
pack_setup "$WORK/longname.exe" "$WORK/longname.src"
clean_install
attend long-file-name 'C:\broken\longname.exe'
ends_cleanly long-file-name
check "long-file-name: the install ends with the window's error" \
  has_text 'box Fehler: Es ist ein Fehler aufgetreten.\rDas Setup wird abgebrochen.' "$SEEN"
check "long-file-name: the error log names the write error" grep -q "Write Error: " "$DRIVE_C/Setup.log"
check_sentinels long-file-name
finish
