# Shared helpers of the broken-input tests (sourced first). Re-runs the test
# inside its own Wine prefix and X display, packs the sample setup, snapshots
# things the setup never writes, and attends a program run like a person who
# answers every box with "OK" and closes a window that has nothing left to do.
set -u

: "${Q_TOP:?}" "${Q_SETUPPACK:?}" "${Q_STUB:?}" "${Q_QUILLON:?}" "${Q_PARTNER:?}" "${Q_QDRIVER:?}" "${Q_BDRIVER:?}" "${Q_SAMPLE:?}"
Q_OUTPUT=${Q_OUTPUT:-$Q_TOP/out/e2e-broken}
TEST_NAME=$(basename "$0" .sh)
HERE=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "$Q_SETUPPACK" ]; then
  echo "SKIP: the native setuppack is missing ($Q_SETUPPACK); build it first (make host)"; exit 77
fi
if [ ! -f "$Q_STUB" ]; then
  echo "SKIP: Setup-stub.exe is missing ($Q_STUB)"; exit 77
fi
command -v python3 >/dev/null || { echo "SKIP: python3 is missing (scripts/install-deps)"; exit 77; }
if [ -z "${Q_E2E_INSIDE:-}" ]; then
  export Q_E2E_INSIDE=1 Q_PRIVATE_DISPLAY=1 Q_WINE_SESSION=1
  exec "$Q_TOP/scripts/with-wine" bash "$0" "$@"
fi

DRIVE_C=$WINEPREFIX/drive_c
WORK=$DRIVE_C/broken
mkdir -p "$WORK" "$Q_OUTPUT"
cp "$Q_QDRIVER" "$WORK/qdriver.exe"
cp "$Q_BDRIVER" "$WORK/bdriver.exe"
FAILURES=0
. "$Q_TOP/tests/e2e/waits.sh"
SECTIONS="python3 $HERE/sections.py"
TARGET_WIN='C:\BrokenTarget\'
TARGET=$DRIVE_C/BrokenTarget
UNINSTALL_ROOT='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'

# The prefix comes with a virtual desktop (Wine draws the title bars) and
# without the crash dialog: a crash shows as an exit code, not as a window
# that waits for a click (scripts/with-wine).

ok() { echo "ok   - $*"; }
fail() { echo "FAIL - $*"; FAILURES=$((FAILURES + 1)); }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
finish() {
  if [ "$FAILURES" -eq 0 ]; then echo "$TEST_NAME: all checks passed"; exit 0; fi
  echo "$TEST_NAME: $FAILURES check(s) failed"; exit 1
}
# wine_out CMD...: runs a Windows command and prints its output without CRs.
# The output goes through a file: a Wine helper that a command starts (the
# wineserver, services) inherits its handles and would hold a pipe open.
wine_out() {
  local file rc
  file=$(mktemp "$WORK/out.XXXXXX")
  "$WINE" "$@" >"$file" 2>&1 </dev/null
  rc=$?
  tr -d '\r' <"$file"
  rm -f "$file"
  return $rc
}
drv() { wine_out 'C:\broken\qdriver.exe' "$@"; }
bdrv() { wine_out 'C:\broken\bdriver.exe' "$@"; }
has_text() { grep -qF -- "$1" <<<"$2"; }
has_line() { grep -qxF -- "$1" <<<"$2"; }

# pack_setup OUT [SCRIPT [LNG]]: the sample setup, or one with another script
# (packed with the options in PACK_ARGS).
pack_setup() {
  local out=$1 script=${2:-$Q_SAMPLE/setup.src} lng=${3:-$Q_SAMPLE/Setup.lng}
  local root=$WORK/root
  mkdir -p "$root" "$(dirname "$out")"
  cp "$Q_QUILLON" "$root/Quillon.exe"
  cp "$Q_PARTNER" "$root/eBay_Setup_shortcuts_1018.exe"
  cp "$Q_SAMPLE/info.txt" "$Q_SAMPLE/Quillon.ico" "$Q_SAMPLE/Quillon.qdb" "$root/"
  # shellcheck disable=SC2086  # PACK_ARGS: more options of the packer (--codec zstd)
  "$Q_SETUPPACK" build ${PACK_ARGS:-} --stub "$Q_STUB" --script "$script" --root "$root" --lng "$lng" -o "$out" >/dev/null
}

# --- things the setup never writes ------------------------------------------
make_sentinels() {
  mkdir -p "$DRIVE_C/Sentinel/sub" "$DRIVE_C/Program Files/Quillon-Other"
  printf 'not the setup'"'"'s\r\n' >"$DRIVE_C/Sentinel/notes.txt"
  printf 'user data' >"$DRIVE_C/Sentinel/sub/Data.qdb"
  printf 'another product' >"$DRIVE_C/Program Files/Quillon-Other/Other.exe"
  "$WINE" reg add 'HKLM\SOFTWARE\Sentinel' /v Value /d 'machine' /f >/dev/null 2>&1
  "$WINE" reg add 'HKCU\Software\Sentinel' /v Value /d 'user' /f >/dev/null 2>&1
  "$WINE" reg add "$UNINSTALL_ROOT\\Zed Sentinel 1999-01-01 00.00.00" /v DisplayName /d 'Zed' /f >/dev/null 2>&1
}
SENTINEL_KEYS=('HKLM\SOFTWARE\Sentinel' 'HKCU\Software\Sentinel' "$UNINSTALL_ROOT\\Zed Sentinel 1999-01-01 00.00.00")
# The files by their checksums, the keys read inside the prefix by qdriver
# (one program, no cmd, no reg.exe).
snapshot() {
  ( cd "$DRIVE_C" && find Sentinel 'Program Files/Quillon-Other' -print0 | sort -z | xargs -0 md5sum 2>&1 )
  drv reg "${SENTINEL_KEYS[@]}"
}
# take_snapshot: SENTINELS, after checking that every sentinel is in place.
take_snapshot() {
  SENTINELS=$(snapshot)
  check "the sentinels are in place" test "$(grep -c '^Value=REG_SZ:\|^DisplayName=REG_SZ:Zed$' <<<"$SENTINELS")" = 3
}
# check_sentinels CASE: nothing the setup did not write has changed.
check_sentinels() {
  local now
  now=$(snapshot)
  if [ "$now" = "$SENTINELS" ]; then ok "$1: untouched what the setup did not write"; else
    fail "$1: something the setup did not write changed"; diff <(echo "$SENTINELS") <(echo "$now") | head -20; fi
}
# Removes what an earlier case installed, so that each case starts clean.
clean_install() {
  rm -f "$DRIVE_C/Setup.log"
  [ -e "$TARGET" ] || [ -e "$DRIVE_C/Program Files/Quillon" ] || return 0
  rm -rf "$TARGET" "$DRIVE_C/Program Files/Quillon"
  "$WINE" reg delete 'HKLM\SOFTWARE\Quillon' /f >/dev/null 2>&1
  "$WINE" reg delete 'HKCU\SOFTWARE\Quillon' /f >/dev/null 2>&1
  local key
  uninstall_entries | while read -r key; do "$WINE" reg delete "$key" /f >/dev/null 2>&1 </dev/null; done
}
# The setup's entries below the Uninstall key.
uninstall_entries() { drv reg "$UNINSTALL_ROOT" | sed -n 's/^\[\(.*\\Uninstall\\Quillon [^\\]*\)\]$/\1/p'; }
# reg_value KEY NAME: the value's data (the key's own values only).
reg_value() {
  drv reg "$1" | awk -v name="$2" 'NR > 1 && /^\[/ { exit } index($0, name "=") == 1 {
    sub(/^[^=]*=[A-Z_0-9]*:/, ""); print; exit }'
}
# has_key KEY: the key is there (read inside the prefix).
has_key() { drv reg "$1" | head -1 | grep -qxF "[$1]"; }

# --- running a program as a person would --------------------------------------
# attend CASE WINDOWS-EXE [ARGS...]: starts the program and answers whatever it
# shows: every message box with "OK", the install question by entering
# C:\BrokenTarget\ (unless ATTEND_KEEP_FOLDER is set) and clicking "Ja", the uninstall question with "Ja"; a
# window with nothing left to answer is closed. Afterwards SEEN holds what it
# showed (one line each), EXIT_CODE its exit code (124: it hung).
attend() {
  local name=$1; shift
  SEEN=""
  local err=$WORK/$name.out pid started=$SECONDS idle=0 answered_question=0 box window button
  "$WINE" "$@" >"$err" 2>&1 </dev/null &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    if [ $((SECONDS - started)) -gt 150 ]; then
      SEEN+="(no end after 150 s)"$'\n'
      screenshot "$TEST_NAME-$name-hang"
      kill "$pid" 2>/dev/null; wineserver -k >/dev/null 2>&1; EXIT_CODE=124; wait "$pid" 2>/dev/null
      return
    fi
    if box=$(drv wait-box 1); then
      SEEN+="box $(grep -m1 '^caption:' <<<"$box" | cut -d: -f2-): $(grep -m1 '^text:' <<<"$box" | cut -d: -f2-)"$'\n'
      drv answer OK 2 >/dev/null || drv answer '&Nein' 2 >/dev/null
      idle=0
      continue
    fi
    if window=$(drv dump 2>/dev/null) && [ -n "$window" ] && ! has_text 'no setup window' "$window"; then
      if [ $answered_question = 0 ] && has_text 'edit:' "$window"; then
        # The folder box belongs to the install question, in any language.
        SEEN+="install question: $(grep -m1 '^static:Dieses\|^static:This' <<<"$window" | cut -d: -f2-)"$'\n'
        [ -n "${ATTEND_KEEP_FOLDER:-}" ] || drv set-edit "$TARGET_WIN" >/dev/null
        button=Ja; has_text 'button:Yes' "$window" && button=Yes
        # qdriver's click waits until the button takes it (enabled, the
        # window's thread idle): one click, as a person gives it.
        drv click "$button" >/dev/null && answered_question=1
        idle=0
      elif [ $answered_question = 0 ] && has_text 'Möchten Sie Quillon' "$window"; then
        SEEN+="uninstall question"$'\n'
        drv click Ja >/dev/null
        answered_question=1; idle=0
      else
        idle=$((idle + 1))
        if [ $idle -ge 2 ]; then
          SEEN+="window closed by the user"$'\n'
          bdrv close 2 >/dev/null
          idle=0
        fi
      fi
    fi
  done
  wait "$pid"; EXIT_CODE=$?
  # Wine's loader refuses the file (its message is in the system's language).
  if grep -q 'wine: failed to start' "$err"; then SEEN+="system: Bad EXE format"$'\n'; fi
  if [ "$EXIT_CODE" != 0 ]; then SEEN+="output: $(tr -d '\r' <"$err" | grep -v '^$' | head -3 | tr '\n' ' ' | cut -c1-200)"$'\n'; fi
}

# ends_cleanly CASE: the run ended by itself (no hang) with the program's own
# exit code 0, or the system refused to start the file; no crash.
ends_cleanly() {
  local name=$1
  echo "  $name saw:"; sed 's/^/    /' <<<"$SEEN"
  if [ "$EXIT_CODE" = 0 ]; then ok "$name: ended normally"
  elif [ "$EXIT_CODE" = 1 ] && has_text 'system: Bad EXE format' "$SEEN"; then ok "$name: the system refuses the file"
  else fail "$name: exit code $EXIT_CODE (crash or hang)"; screenshot "$TEST_NAME-$name"; fi
}

screenshot() { import -window root "$Q_OUTPUT/$1.png" 2>/dev/null; }
