# Shared helpers of the setup program's end-to-end tests. A test sources this
# file first: it re-runs the test inside its own Wine prefix and X display
# (scripts/with-wine), packs the sample setup and offers the steps a person
# takes at the window, through qdriver.
set -u

: "${Q_TOP:?}" "${Q_SETUPPACK:?}" "${Q_STUB:?}" "${Q_QUILLON:?}" "${Q_PARTNER:?}" "${Q_QDRIVER:?}" "${Q_SAMPLE:?}"
Q_OUTPUT=${Q_OUTPUT:-$Q_TOP/out/e2e}
TEST_NAME=$(basename "$0" .sh)

if [ ! -x "$Q_SETUPPACK" ]; then
  echo "SKIP: the native setuppack is missing ($Q_SETUPPACK); build it first (make tools or build/host)"
  exit 77
fi
if [ -z "${Q_E2E_INSIDE:-}" ]; then
  export Q_E2E_INSIDE=1 Q_PRIVATE_DISPLAY=1 Q_WINE_SESSION=1
  exec "$Q_TOP/scripts/with-wine" bash ${Q_E2E_TRACE:+-x} "$0" "$@"
fi

DRIVE_C=$WINEPREFIX/drive_c
WORK=$DRIVE_C/e2e
mkdir -p "$WORK" "$Q_OUTPUT"
FAILURES=0
. "$Q_TOP/tests/e2e/waits.sh"

# The prefix comes with a virtual desktop of the screen's size and without
# the crash dialog (scripts/with-wine). Its desktop gets a shell, as
# Windows' has: the setup starts the product as the shell's child, never
# with its own administrator rights (Wine runs every program elevated).
if [ -n "${Q_DESKSHELL:-}" ]; then
  cp "$Q_DESKSHELL" "$WORK/deskshell.exe"
  "$WINE" 'C:\e2e\deskshell.exe' 'C:\e2e\deskshell.ready' >/dev/null 2>&1 </dev/null &
  for _ in $(seq 1 300); do [ -e "$WORK/deskshell.ready" ] && break; sleep 0.1; done
fi

# Chinese captions need a font with those characters behind the window's
# fonts, as a Chinese Windows links them; Debian's WenQuanYi Micro Hei
# (fonts-wqy-microhei, scripts/install-deps) stands in. Wine then draws Latin
# letters of those fonts poorly, so only the Chinese case links it (each
# process reads the links when it starts).
link_cjk_font() {
  local face
  for face in Verdana Arial Tahoma "MS Shell Dlg" "MS Shell Dlg 2"; do
    "$WINE" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
      /t REG_MULTI_SZ /d 'tahoma.ttf,Tahoma\0wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1
  done
}
unlink_cjk_font() {
  local face
  for face in Verdana Arial Tahoma "MS Shell Dlg" "MS Shell Dlg 2"; do
    "$WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" /f \
      >/dev/null 2>&1
  done
}

# set_dpi DPI: the screen's DPI as Windows' display settings set it (Wine's
# LogPixels); programs started from then on see it.
set_dpi() {
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

ok() { echo "ok   - $*"; }
fail() { echo "FAIL - $*"; FAILURES=$((FAILURES + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then ok "$what"; else fail "$what"; return 1; fi
}
finish() {
  if [ "$FAILURES" -eq 0 ]; then echo "$TEST_NAME: all checks passed"; exit 0; fi
  echo "$TEST_NAME: $FAILURES check(s) failed"; exit 1
}

# qdriver's output goes through a file: a Wine process that qdriver happens
# to start (the desktop's explorer) inherits its output handles and would
# keep a pipe open for good.
drv() {
  local rc
  "$WINE" "$Q_QDRIVER" "$@" >"$WORK/qdriver.out" 2>&1 </dev/null
  rc=$?
  tr -d '\r' <"$WORK/qdriver.out"
  return $rc
}

# wine_out COMMAND...: a Wine command's output, without CRs (through a file,
# as for qdriver).
wine_out() {
  local rc
  "$WINE" "$@" >"$WORK/wine.out" 2>/dev/null </dev/null
  rc=$?
  tr -d '\r' <"$WORK/wine.out"
  return $rc
}

# pack_setup OUT [SCRIPT [LNG|-]]: the sample setup, optionally with another
# script or without language data ("-").
pack_setup() {
  local out=$1 script=${2:-$Q_SAMPLE/setup.src} lng=${3:-$Q_SAMPLE/Setup.lng}
  local root=$WORK/root
  mkdir -p "$root" "$(dirname "$out")"
  cp "$Q_QUILLON" "$root/Quillon.exe"
  cp "$Q_PARTNER" "$root/eBay_Setup_shortcuts_1018.exe"
  cp "$Q_SAMPLE/info.txt" "$Q_SAMPLE/Quillon.ico" "$Q_SAMPLE/Quillon.qdb" "$root/"
  if [ "$lng" = "-" ]; then
    "$Q_SETUPPACK" build --stub "$Q_STUB" --script "$script" --root "$root" -o "$out" >/dev/null
  else
    "$Q_SETUPPACK" build --stub "$Q_STUB" --script "$script" --root "$root" --lng "$lng" -o "$out" >/dev/null
  fi
}

# start_program WINDOWS-PATH [ARGS...]: starts a program in the background;
# its process id is in STARTED_PID.
start_program() {
  "$WINE" "$@" >/dev/null 2>&1 &
  STARTED_PID=$!
}

# wait_exit [SECONDS]: waits for the program started last; its exit code is
# in EXIT_CODE (124 when it did not end in time).
wait_exit() {
  local limit=${1:-60} i=0
  while kill -0 "$STARTED_PID" 2>/dev/null; do
    i=$((i + 1))
    if [ $i -gt $((limit * 10)) ]; then EXIT_CODE=124; return 1; fi
    sleep 0.1
  done
  wait "$STARTED_PID"; EXIT_CODE=$?
  return 0
}

screenshot() { import -window root "$Q_OUTPUT/$1.png" 2>/dev/null && echo "screenshot: $Q_OUTPUT/$1.png"; }

# contains TEXT FILE-OR-STRING: a fixed-string match in the given text.
has_line() { grep -qxF -- "$1" <<<"$2"; }
has_text() { grep -qF -- "$1" <<<"$2"; }

PROGRAMS="$DRIVE_C/Program Files/Quillon"
START_MENU="$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillon"
PUBLIC_DESKTOP="$DRIVE_C/users/Public/Desktop"
temp_dir() { find "$DRIVE_C/users" -maxdepth 4 -type d -iname temp 2>/dev/null | grep -v /Public/ | head -1; }

# The registry is read inside the prefix by qdriver, one program for any
# number of keys (no cmd, no reg.exe): "[KEY]" lines with "name=TYPE:data"
# below, "[KEY] missing" for a key that is not there.
reg_dump() { drv reg "$@"; }
# reg_value KEY NAME: the value's data (the key's own values only).
reg_value() {
  reg_dump "$1" | awk -v name="$2" 'NR > 1 && /^\[/ { exit } index($0, name "=") == 1 {
    sub(/^[^=]*=[A-Z_0-9]*:/, ""); print; exit }'
}
uninstall_keys() {
  reg_dump 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' |
    sed -n 's/^\[\(.*\\Uninstall\\Quillon [^\\]*\)\]$/\1/p'
}

# wait_file FILE [SECONDS]: waits until a program started in the background
# has written FILE; says what is there when it gives up.
wait_file() {
  local file=$1 limit=${2:-30}
  wait_until "$limit" test -s "$file" && return 0
  echo "  no $(basename "$file") after ${limit} s; beside it: $(ls "$(dirname "$file")" 2>&1 | tr '\n' ' ')"
  return 1
}
# wait_closed NAME [SECONDS]: waits until no program of this name runs in
# this prefix (a program the setup started in the background).
wait_closed() {
  local name=$1 limit=${2:-30} i p busy
  for i in $(seq 1 $((limit * 10))); do
    busy=""
    for p in $(pgrep -f "$name" 2>/dev/null); do
      grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null && busy+=" $p"
    done
    [ -z "$busy" ] && return 0
    sleep 0.1
  done
  echo "  still running after ${limit} s:$(for p in $busy; do tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null; echo; done)"
  return 1
}

# install_sample [EXE]: runs the setup through with the defaults, as a person
# who clicks "Ja" and then "OK".
install_sample() {
  start_program "${1:-C:\\e2e\\dl\\Setup.exe}"
  drv wait-setup 120 >/dev/null || return 1
  drv click "${INSTALL_BUTTON:-Ja}" >/dev/null || return 1
  drv answer OK 120 >/dev/null || return 1
  wait_exit 60
}

# wait_quillon_closed: waits (up to 20 s) until no Quillon.exe of this
# prefix runs any more; the sample's program closes itself a few seconds
# after the setup started it, and a running program cannot be deleted.
wait_quillon_closed() { wait_closed 'Quillon\.exe' 20; }

# pack_with_files OUT COUNT [VERSION [BYTES]]: the sample (as VERSION) with
# COUNT files of BYTES (32 KiB) of random data behind its own files, ten a
# folder, so that writing them takes a while.
pack_with_files() {
  local out=$1 count=$2 version=${3:-2.5} size=${4:-32768} i
  rm -rf "$WORK/root/many"
  mkdir -p "$WORK/root/many"
  head -c $((count * size)) /dev/urandom | split -b "$size" -a 4 -d - "$WORK/root/many/f"
  for ((i = 0; i < count; i++)); do
    printf 'action=save,Source=many/f%04d,Filename=*PgmPath*\\many\\s%03d\\f%04d\r\n' "$i" $((i / 10)) "$i"
  done >"$WORK/many.lines"
  sed -e "/Source=eBay/r $WORK/many.lines" -e "s/Version=2.5/Version=$version/" "$Q_SAMPLE/setup.src" >"$WORK/many.src"
  pack_setup "$out" "$WORK/many.src"
}

# prefix_snapshot: what a run may change, to compare before and after: every
# folder and file of drive C (files by their checksums) but the tests' own
# work folder, and the product's, the journal's and the uninstall keys.
prefix_snapshot() {
  ( cd "$DRIVE_C" && find . -path ./e2e -prune -o -type d -print -o -type f -exec md5sum {} + ) | sort
  [ -z "${DRIVE_D:-}" ] || ( cd "$DRIVE_D" && find . -type d -print -o -type f -exec md5sum {} + ) | sort
  reg_dump 'HKLM\SOFTWARE\Quillon' 'HKCU\Software\Quillon' 'HKLM\SOFTWARE\QuillonSetup' 'HKCU\Software\QuillonSetup' \
    'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
}
# same_prefix CASE SNAPSHOT: the prefix is as in the snapshot (else the
# differences are shown).
same_prefix() {
  local now
  now=$(prefix_snapshot)
  if [ "$now" = "$2" ]; then ok "$1: the machine is as before"; else
    fail "$1: the machine changed"; diff <(echo "$2") <(echo "$now") | head -40; fi
}
