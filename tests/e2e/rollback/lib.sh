# Shared helpers of the rollback tests (sourced first, after broken/lib.sh's
# runner): the packages of version 2.5 and 2.6, a snapshot of the whole
# prefix, a program that holds a file, and the silent runs.
. "$(dirname "$0")/../broken/lib.sh"
: "${Q_HOLDFILE:?}" "${Q_EXITCODE:?}"
SECTIONS="python3 $Q_TOP/tests/e2e/broken/sections.py"
cp "$Q_HOLDFILE" "$WORK/holdfile.exe"
cp "$Q_EXITCODE" "$WORK/exitcode.exe"
PROGRAM_WIN='C:\Program Files\Quillon'
PROGRAM=$DRIVE_C/Program\ Files/Quillon

# The whole prefix as a person and the system would see it: every file with
# its checksum and every folder (Wine's own windows folder, the temporary
# folders and this test's work folder aside; C:\Setup.log is the failure's
# log), the product's keys, the journal's anchor, the uninstall entries of
# the machine and the user, the removals waiting for the next restart (the
# uninstaller's own copy in the temporary folder aside) and the attributes
# of Desktop.ini and the program folder.
snapshot() {
  ( cd "$DRIVE_C" && find . \( -path ./windows -o -path ./broken -o -path './users/*/Temp' \
      -o -path './users/*/AppData/Local/Temp' -o -path ./Setup.log \) -prune -o -print0 | sort -z |
      while IFS= read -r -d '' path; do
        if [ -d "$path" ]; then echo "dir  $path"; else echo "$(md5sum <"$path" | cut -c1-32) $path"; fi
      done )
  [ -z "${DRIVE_D:-}" ] || ( cd "$DRIVE_D" && find . -print0 | sort -z | xargs -0 -r md5sum 2>&1 )
  drv reg 'HKLM\SOFTWARE\Quillon' 'HKLM\SOFTWARE\QuillonSetup' 'HKCU\Software\Quillon' 'HKCU\Software\QuillonSetup' \
    "$UNINSTALL_ROOT" 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
  reg_value 'HKLM\System\CurrentControlSet\Control\Session Manager' PendingFileRenameOperations |
    sed 's/\\0/\n/g' | grep -v -e 'QuillonUninstall-' -e '^$'
  echo "attributes: Desktop.ini $(drv attrib "$PROGRAM_WIN\\Desktop.ini"), folder $(drv attrib "$PROGRAM_WIN")"
}
# The installation's entry, if any, names an uninstaller that can remove it
# (one with its uninstall information, not the placeholder).
entry_has_uninstaller() {
  [ -z "$(uninstall_entries)" ] || $SECTIONS list "$PROGRAM/uninstall.exe" 2>/dev/null | grep -q Uninst
}
# wait_removed: the uninstaller's own file is gone (its copy removes it once it ended).
wait_removed() { wait_until 10 test ! -e "$PROGRAM/uninstall.exe"; }
# same_as NAME SNAPSHOT WHAT [FILTER]: the prefix (through FILTER) equals the snapshot.
same_as() {
  local now
  now=$(snapshot | "${4:-cat}")
  if [ "$now" = "$2" ]; then ok "$1: $3"; else
    fail "$1: $3"; diff <(echo "$2") <(echo "$now") | head -30; fi
}

# timeless: a snapshot without what two installs of the same differ in by
# their time: the shortcuts and the uninstaller, the entry's name and dates.
timeless() {
  sed -E -e 's/^[0-9a-f]{32} (.*\.lnk|.*uninstall\.exe)$/(time) \1/' -e 's/[0-9-]{10} [0-9.]{8}/(time)/g' \
    -e 's/^(InstallDate=REG_SZ:|DisplayName=REG_SZ:.*Installation ).*/\1(date)/'
}

# make_package OUT VERSION FILES [KIB]: the sample product as VERSION, with
# FILES extra files of KIB KiB (40; random, so that writing them takes a
# while) below the program folder; version 2.6 also changes Quillon.exe and
# adds new26.txt. UNINST_FIRST=1 moves the uninst line before the files.
make_package() {
  local out=$1 version=$2 files=$3 kib=${4:-40} root=$WORK/root-$2-$3 script=$WORK/setup-$2-$3.src i
  rm -rf "$root"; mkdir -p "$root/many"
  cp "$Q_QUILLON" "$root/Quillon.exe"
  cp "$Q_PARTNER" "$root/eBay_Setup_shortcuts_1018.exe"
  cp "$Q_SAMPLE/info.txt" "$Q_SAMPLE/Quillon.ico" "$Q_SAMPLE/Quillon.qdb" "$root/"
  local extra=""
  if [ "$version" = 2.6 ]; then
    printf 'version 2.6' >>"$root/Quillon.exe"
    printf 'new in 2.6\r\n' >"$root/new26.txt"
    extra='action=save,Source=new26.txt,Filename=*PgmPath*\new26.txt'
  fi
  for ((i = 0; i < files; i++)); do head -c $((kib * 1024)) /dev/urandom >"$root/many/f$i.bin"; done
  # The extra files right after the path line; 2.6's new file before the shortcuts.
  EXTRA=$extra awk -v version="$version" -v files="$files" -v first="${UNINST_FIRST:-0}" '
    BEGIN { extra = ENVIRON["EXTRA"] }
    { sub(/Version=2\.5/, "Version=" version) }
    /^action=icon,/ && extra != "" { print extra; extra = "" }
    /^action=uninst,/ && first == 1 { next }
    { print }
    NR == 1 && first == 1 { print "action=uninst,name=Quillon" }
    NR == 1 { for (i = 0; i < files; i++) printf "action=save,Source=many/f%d.bin,Filename=*PgmPath*\\many\\f%d.bin\n", i, i }
  ' "$Q_SAMPLE/setup.src" >"$script"
  "$Q_SETUPPACK" build --stub "$Q_STUB" --script "$script" --root "$root" --lng "$Q_SAMPLE/Setup.lng" -o "$out" >/dev/null
}

# silent CASE EXE ARGS...: runs a setup or uninstaller silently; EXIT_CODE
# (the whole code), and LOG its /LOG= file. silent_start starts it in the
# background (through exitcode.exe), silent_end waits for it.
silent() { silent_start "$@"; silent_end "$1"; }
silent_start() {
  local name=$1 exe=$2
  shift 2
  rm -f "$WORK/$name.log"
  "$WINE" 'C:\broken\exitcode.exe' "$exe" /S "/LOG=C:\\broken\\$name.log" "$@" >"$WORK/$name.out" 2>&1 </dev/null &
  WRAPPER=$!
}
silent_end() {
  wait "$WRAPPER"
  EXIT_CODE=$(tr -d '\r' <"$WORK/$1.out" | tail -1)
  LOG=$(tr -d '\r' <"$WORK/$1.log" 2>/dev/null)
}
# setup_of CASE: SETUP is the process of this prefix that silent_start
# started for CASE (not its exitcode.exe).
setup_of() {
  local pid
  for pid in $(pgrep -f "broken.$1\.log"); do
    grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null &&
      ! grep -q exitcode "/proc/$pid/cmdline" && SETUP=$pid && return 0
  done
  return 1
}

# The setup under test (SETUP): ended once it is gone or a zombie.
setup_ended() { case "$(sed 's/^.*) //' "/proc/$SETUP/stat" 2>/dev/null | cut -d' ' -f1)" in '' | Z | X) ;; *) false ;; esac; }
setup_still() { stopped "$SETUP" || setup_ended; }
# caught_when CONDITION: stops the setup and answers whether it has ended or
# CONDITION holds while it stands still; otherwise lets it go on.
caught_when() {
  kill -STOP "$SETUP" 2>/dev/null
  if wait_until 10 setup_still && { setup_ended || eval "$1"; }; then return 0; fi
  kill -CONT "$SETUP" 2>/dev/null
  return 1
}

# The journal of a run for all users; backups: the replaced files' backups
# it names, in their order. Once a second is entered, the first is complete
# (renamed, its handle closed).
JOURNALS=$DRIVE_C/ProgramData
journal() { cat "$JOURNALS"/QuillonSetup-*/journal 2>/dev/null; }
backups() { journal | awk -F'\t' '$1 == "file" && $4 != "" { print $4 }'; }

# hold WINDOWS-PATH: a program holds the file until release_holds.
HOLDERS=()
hold() {
  rm -f "$WORK/held"
  "$WINE" 'C:\broken\holdfile.exe' "$1" 'C:\broken\held' >/dev/null 2>&1 </dev/null &
  HOLDERS+=($!)
  check "the file is held: $1" wait_until 10 test -e "$WORK/held"
}
release_holds() {
  local pid
  for pid in "${HOLDERS[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  HOLDERS=()
}

# The entry of the installation and its version.
entry_version() { local e; e=$(uninstall_entries | head -1); [ -n "$e" ] && reg_value "$e" DisplayVersion; }
