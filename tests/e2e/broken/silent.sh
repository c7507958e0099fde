#!/usr/bin/env bash
# Broken packages in silent mode: the packed files missing (the full run
# fails), their stream cut short (zlib fails before anything is written), a
# damaged uninstaller. Each ends by itself with exit code 2, shows no
# window at all, writes the /LOG= file and, for a failed install,
# C:\Setup.log, and leaves alone what the setup did not write.
. "$(dirname "$0")/lib.sh"

export LC_ALL=de_DE.UTF-8
pack_setup "$WORK/good.exe"
make_sentinels
SENTINELS=$(snapshot)
good=$WORK/good.exe
read -r _ bin_at bin_start bin_len < <($SECTIONS list "$good" | grep Setup.bin)
$SECTIONS cut "$good" $((bin_at + 3)) "$WORK/no-files.exe"
$SECTIONS cut "$good" $((bin_start + bin_len / 2)) "$WORK/files-cut.exe"

# silent_case NAME EXE [ARGS...]: runs the program silently; it must end by
# itself with exit code 2 and show nothing while it runs.
silent_case() {
  local name=$1 exe=$2; shift 2
  clean_install
  watch_windows
  # "/D=" takes the rest of the line: the other switches come first.
  "$WINE" "$exe" /S "/LOG=C:\\broken\\$name.log" "$@" >/dev/null 2>&1 </dev/null
  EXIT_CODE=$?
  check "$name: no window, no box" no_window_seen
  check "$name: exit code 2" test "$EXIT_CODE" = 2
  check "$name: its log says it failed" grep -q 'Result: 2 ' "$WORK/$name.log"
  check_sentinels "$name"
}

silent_case no-files 'C:\broken\no-files.exe' '/D=C:\BrokenTarget'
check "no-files: C:\\Setup.log names the failed line" grep -q 'Command failed: action=save' "$DRIVE_C/Setup.log"
silent_case files-cut 'C:\broken\files-cut.exe' '/D=C:\BrokenTarget'
check "files-cut: C:\\Setup.log holds zlib's message" grep -qi 'error' "$DRIVE_C/Setup.log"
check "files-cut: nothing installed" test ! -e "$TARGET"

# An uninstaller whose uninstall information is damaged.
clean_install
"$WINE" 'C:\broken\good.exe' /S '/D=C:\BrokenTarget' >/dev/null 2>&1 </dev/null
check "good package installs silently" test -f "$TARGET/uninstall.exe"
$SECTIONS flip "$TARGET/uninstall.exe" Section:Uninst 4 "$WORK/uninstall.exe"
silent_case damaged-uninstaller 'C:\broken\uninstall.exe'
finish
