#!/usr/bin/env bash
# harness-e2e.sh HARNESS.exe SETUPPACK QDRIVER.exe
# Packs small scripts with the native setuppack around the engine harness and
# runs the packages under Wine (the runner's private prefix): a clean setup,
# the uninstaller it wrote, a run that stops at an unknown action, and a
# package without script. Everything made in the prefix is removed again.
# Exit 77 (skipped) without Wine or setuppack.
set -u
harness=$1
setuppack=$2
qdriver=${3:-}
if [ -z "${WINE:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  echo "SKIP: run under scripts/with-wine"; exit 77
fi
if [ ! -x "$setuppack" ]; then
  echo "SKIP: no native setuppack at $setuppack (set Q_HOST_SETUPPACK)"; exit 77
fi
[ -f "$qdriver" ] || { echo "SKIP: no qdriver.exe ($qdriver)"; exit 77; }

work=$(mktemp -d /tmp/quillon-harness.XXXXXX)
drive_c=$WINEPREFIX/drive_c
uninstall_root='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
failures=0

# The registry as a program inside the prefix reads it (qdriver; no reg.exe):
# "[KEY]" lines, "name=TYPE:data" below. Output through a file, as for run.
qd_reg() {
  "$WINE" "$qdriver" reg "$@" >"$work/reg.out" 2>/dev/null </dev/null
  tr -d '\r' <"$work/reg.out"
}
cleanup() {
  rm -rf "$drive_c/QuillonE2E" "$drive_c/Setup.log"
  "$WINE" reg delete 'HKLM\SOFTWARE\QuillonE2E' /f >/dev/null 2>&1
  "$WINE" reg delete 'HKCU\SOFTWARE\QuillonE2E' /f >/dev/null 2>&1
  for key in $(qd_reg "$uninstall_root" | sed -n 's/^\[.*\\\(QuillonE2E[^\\]*\)\]$/\1/p'); do
    "$WINE" reg delete "$uninstall_root\\$key" /f >/dev/null 2>&1
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect OUTPUT LINE: the harness printed exactly this line.
expect() {
  grep -qxF -- "$2" <<<"$1" ||
    fail "expected line '$2', got '$(grep -m1 -F -- "${2%%=*}=" <<<"$1")'"
}

# pack NAME: $work/NAME.src (CR LF line ends) and $work/root -> $work/NAME.exe
pack() {
  "$setuppack" build --stub "$harness" --script "$work/$1.src" --root "$work/root" \
    -o "$work/$1.exe" >/dev/null || fail "setuppack refused $1"
}
# run EXE ARGS...: the harness's output (CR dropped) in $out, its exit code in $code
run() {
  "$WINE" "$@" >"$work/out" 2>/dev/null
  code=$?
  out=$(tr -d '\r' <"$work/out")
}

mkdir -p "$work/root"
printf 'Quillon info\r\n' >"$work/root/info.txt"
printf 'MZ not really a program' >"$work/root/Quillon.exe"
printf 'second file' >"$work/root/second.txt"

# --- a clean setup ---------------------------------------------------------
printf '%s\r\n' \
  'action=path,Registry=QuillonE2E\Harness,Version=1.5,Lng=deutsch,PgmPath=*Programs*\QuillonE2E,DataPath=*PgmPath*\Daten' \
  'action=save,Source=Quillon.exe,Filename=*PgmPath*\Quillon.exe' \
  'action=save,Source=info.txt,Filename=*PgmPath*\Daten\info.txt' \
  'action=exec,params=/autoclose' \
  'action=uninst,name=QuillonE2E,"Publisher=Quillon E2E, Test"' >"$work/clean.src"
pack clean
# The log of an earlier setup: clean runs leave it as it is.
printf 'from an earlier setup' >"$drive_c/Setup.log"

run "$work/clean.exe" --pathonly
[ "$code" = 0 ] || fail "path-only run exit $code"
expect "$out" "pathonly.result=1"
expect "$out" "RegistryKey=SOFTWARE\\QuillonE2E\\Harness"
expect "$out" "Version=1.5"
expect "$out" "Lng=deu"
expect "$out" "DataPath=C:\\Program Files\\QuillonE2E\\Daten\\"
expect "$out" "WrittenFiles="
grep -q '^full.result' <<<"$out" && fail "--pathonly ran the full run"

run "$work/clean.exe" '--pgmpath=C:\QuillonE2E\' --lng=FR --nodesktop
[ "$code" = 0 ] || { fail "full run exit $code"; echo "$out"; }
expect "$out" "full.result=1"
out=$(sed -n '/^\[after full run\]/,$p' <<<"$out")
expect "$out" "Lng=FR"
expect "$out" "DesktopLinks=0"
expect "$out" "Exec=C:\\QuillonE2E\\Quillon.exe"
expect "$out" "ExecParams=/autoclose"
expect "$out" "UninstallerPath=C:\\QuillonE2E\\uninstall.exe"
# The files the run wrote, each once, whatever the list holds twice.
written=$(grep -m1 '^WrittenFiles=' <<<"$out" | cut -d= -f2- | tr '|' '\n' | sort -u | tr '\n' '|')
[ "$written" = 'C:\QuillonE2E\Daten\info.txt|C:\QuillonE2E\Quillon.exe|C:\QuillonE2E\uninstall.exe|' ] ||
  fail "written files: $written"
expect "$out" "CreatedFolders=C:\\QuillonE2E|C:\\QuillonE2E\\Daten"
cmp -s "$work/root/info.txt" "$drive_c/QuillonE2E/Daten/info.txt" || fail "info.txt not installed"
[ -f "$drive_c/QuillonE2E/uninstall.exe" ] || fail "no uninstaller"
[ "$(cat "$drive_c/Setup.log")" = 'from an earlier setup' ] || fail "a clean run changed an older setup log"
rm -f "$drive_c/Setup.log"
qd_reg 'HKLM\SOFTWARE\QuillonE2E\Harness' | grep -qxF 'Exec=REG_SZ:C:\QuillonE2E\Quillon.exe' ||
  fail "Exec not stored under HKLM"
qd_reg "$uninstall_root" | grep -q '^\[.*\\QuillonE2E' || fail "no uninstall entry"

# A second path-only run finds the installation.
run "$work/clean.exe" --pathonly
expect "$out" "PgmPath=C:\\QuillonE2E\\"

# --- the uninstaller it wrote ------------------------------------------------
cp "$drive_c/QuillonE2E/uninstall.exe" "$work/uninstall.exe"
run "$work/uninstall.exe"
expect "$out" "mode=uninstall"
expect "$out" "ErrorText="
[ -e "$drive_c/QuillonE2E/Daten/info.txt" ] && fail "uninstall left info.txt"
[ -e "$drive_c/QuillonE2E/Daten" ] && fail "uninstall left the data folder"
qd_reg "$uninstall_root" | grep -q '^\[.*\\QuillonE2E' && fail "uninstall left the entry"

# --- a run that stops at an unknown action -----------------------------------
printf '%s\r\n' \
  'action=path,Registry=QuillonE2E\Broken,PgmPath=C:\QuillonE2E\Broken' \
  'action=save,Source=info.txt,Filename=*PgmPath*\info.txt' \
  'action=launch,x=1' \
  'action=save,Source=second.txt,Filename=*PgmPath*\second.txt' >"$work/broken.src"
pack broken
run "$work/broken.exe"
[ "$code" = 1 ] || fail "broken run exit $code"
expect "$out" "full.result=0"
expect "$out" "ErrorText=Command failed: action=launch,x=1; "
# The second line ran (the log names it) and its file was removed again with
# the rest of the failed run; the fourth never ran.
[ -e "$drive_c/QuillonE2E/Broken" ] && fail "the failed run was not undone"
# The packer writes the sizes itself; compare the log with the packed line.
packed_save=$("$setuppack" list "$work/broken.exe" | tr -d '\r' | grep -m1 'action=save')
expected_log=$(printf '%s\r\n' \
  'action=path,Registry=QuillonE2E\Broken,PgmPath=C:\QuillonE2E\Broken' \
  "$packed_save" \
  'action=launch,x=1' \
  'Errors: Command failed: action=launch,x=1; ' \
  'Undone: every change of this run' | od -c)
[ "$(od -c <"$drive_c/Setup.log")" = "$expected_log" ] || {
  fail "setup log differs"; od -c "$drive_c/Setup.log" | head -20; }

# --- a package without script ------------------------------------------------
cp "$harness" "$work/bare.exe"
run "$work/bare.exe"
[ "$code" = 1 ] || fail "bare run exit $code"
expect "$out" "pathonly.result=0"
grep -q '^ErrorText=setup commands not found; ' <<<"$out" || fail "bare run: no 'setup commands not found'"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all harness checks passed"
