#!/usr/bin/env bash
# actions-e2e.sh HARNESS.exe SETUPPACK QDRIVER.exe
# A script that uses every action, packed around the engine harness with the
# native setuppack, installed three times under Wine (into one folder twice,
# then into another), then removed by the uninstaller it wrote and by the
# setup started with /UNINST. Checked with the files in the prefix, the
# registry and file attributes as qdriver reads them inside the prefix,
# uninstaller --list, lnkinfo and setuppack list.
# Everything made in the prefix is removed again. Exit 77 without Wine or
# setuppack.
set -u
harness=$1
setuppack=$2
qdriver=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINE:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  echo "SKIP: run under scripts/with-wine"; exit 77
fi
if [ ! -x "$setuppack" ]; then
  echo "SKIP: no native setuppack at $setuppack (set Q_HOST_SETUPPACK)"; exit 77
fi
command -v lnkinfo >/dev/null || { echo "SKIP: lnkinfo (liblnk-utils) missing"; exit 77; }
[ -f "$qdriver" ] || { echo "SKIP: no qdriver.exe ($qdriver)"; exit 77; }

work=$(mktemp -d /tmp/quillon-actions.XXXXXX)
drive_c=$WINEPREFIX/drive_c
uninstall_root='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
pgm='C:\Program Files\QuillonAct'
pgm_unix="$drive_c/Program Files/QuillonAct"
failures=0

# Unix path of a Windows path in the prefix.
unix_path() { local p=${1#C:}; p=${p//\\\\/\\}; echo "$drive_c${p//\\//}"; }
# qdriver's reg and attrib commands: the registry and attributes as a program
# inside the prefix sees them (no cmd, no reg.exe, no attrib.exe). Output
# through a file: a Wine helper it starts would hold a pipe open.
qd() {
  "$WINE" "$qdriver" "$@" >"$work/qdriver.out" 2>/dev/null </dev/null
  tr -d '\r' <"$work/qdriver.out"
}
entries() {  # the QuillonAct entry names below the Uninstall key
  qd reg "$uninstall_root" | sed -n 's/^\[.*\\Uninstall\\\(QuillonAct [^\\]*\)\]$/\1/p' | sort
}
cleanup() {
  for key in $(entries | tr ' ' '\a') ab; do
    "$WINE" reg delete "$uninstall_root\\${key//$'\a'/ }" /f >/dev/null 2>&1
  done
  "$WINE" reg delete 'HKLM\SOFTWARE\QuillonAct' /f >/dev/null 2>&1
  "$WINE" reg delete 'HKCU\SOFTWARE\QuillonAct' /f >/dev/null 2>&1
  "$WINE" "$qdriver" attrib "$pgm" -clear >/dev/null 2>&1 </dev/null
  rm -rf "$work" "$pgm_unix" "$drive_c/QuillonAct2" "$drive_c/QuillonActBad" "$drive_c/Setup.log"
  [ -n "${menu_unix:-}" ] && rm -rf "$menu_unix"
  [ -n "${desktop_unix:-}" ] && rm -f "$desktop_unix/QuillonAct.lnk"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() {  # expect OUTPUT LINE: the harness printed exactly this line
  grep -qxF -- "$2" <<<"$1" || fail "expected '$2', got '$(grep -m1 -F -- "${2%%=*}=" <<<"$1")'"
}
value() { sed -n "s/^$2=//p" <<<"$1" | tail -1; }  # value OUTPUT NAME (last one printed)
run() {  # run EXE ARGS...: output (CR dropped) in $out, exit code in $code
  "$WINE" "$@" >"$work/out" 2>/dev/null
  code=$?
  out=$(tr -d '\r' <"$work/out")
}
reg_value() {  # reg_value KEY NAME: "TYPE DATA" or empty
  qd reg "$uninstall_root\\$1" | awk -v name="$2" 'NR > 1 && /^\[/ { exit } index($0, name "=") == 1 {
    sub(/^[^=]*=/, ""); sub(/:/, " "); print; exit }'
}
lnk_field() {  # lnk_field FILE LABEL: a field of lnkinfo's report
  lnkinfo "$1" 2>/dev/null | sed -n "s/^[[:space:]]*$2[[:space:]]*: //p" | head -1
}

# --- the package ----------------------------------------------------------------
root=$work/root
mkdir -p "$root"
head -c 70000 /dev/urandom >"$root/Quillon.EXE"
printf 'Quillon info\r\nsecond line\r\n' >"$root/info.txt"
printf 'helper' >"$root/helper.exe"
head -c 3000 /dev/urandom >"$root/raw.bin"
printf '[new]\r\n' >"$root/settings.ini"
printf 'after the spared file' >"$root/after.txt"
printf 'notes' >"$root/Notes.qdb"
printf 'icon bytes' >"$root/Quillon.ico"
printf '%s\r\n' \
  'action=path,Registry=QuillonAct\E2E,Version=3.0,PgmPath=*Programs*\QuillonAct,DataPath=*PgmPath*\Daten,MyStartMenu=*StartMenu*\QuillonAct' \
  'action=save,Source=info.txt,Filename=*PgmPath*\info.txt' \
  'action=save,Source=Quillon.EXE,Filename=*PgmPath*\Quillon.EXE' \
  'action=save,Source=helper.exe,Filename=*PgmPath*\bin\helper.exe' \
  'action=save,Source=raw.bin,Stored=1,Filename=*PgmPath*\raw.bin' \
  'action=saveifnotexists,Source=settings.ini,Filename=*DataPath*\settings.ini' \
  'action=save,Source=after.txt,Filename=*DataPath*\after.txt' \
  'action=save,Source=Notes.qdb,Filename=*DataPath*\Notes.QDB' \
  'action=save,Source=Quillon.ico,Filename=*PgmPath*\Quillon.ico' \
  'action=icon,file=*PgmPath*\Quillon.EXE,"param=/open ""last file""",lnk=*MyStartMenu*\Quillon' \
  'action=icon,file=*PgmPath*\info.txt,lnk=*MyStartMenu*\Liesmich.LNK' \
  'action=icon,file=*PgmPath*\Quillon.EXE,lnk=*Desktop*\QuillonAct.lnk' \
  'action=desktopini,path=*PgmPath*\,icon=*PgmPath*\Quillon.ico' \
  'action=desktopini,path=*DataPath*,icon=*PgmPath*\missing.ico' \
  'action=exec,params=/autoclose' \
  'action=uninst,name=QuillonAct,"Publisher=Quill Act, Test",HelpLink=http://quillon.example/help' \
  >"$work/setup.src"
printf '\xff\xfe' >"$work/Setup.lng"  # UTF-16LE language data: one group, one text
printf '[Unit1]\r\n1=Hallo\r\nEN=Hello\r\n' | iconv -f ascii -t utf-16le >>"$work/Setup.lng"
"$setuppack" build --stub "$harness" --script "$work/setup.src" --root "$root" --lng "$work/Setup.lng" \
  -o "$work/setup.exe" >/dev/null || { fail "setuppack refused the script"; exit 1; }

# --- first installation: no desktop link; a settings file already there -------
mkdir -p "$pgm_unix/Daten"
printf "user's own" >"$pgm_unix/Daten/settings.ini"
run "$work/setup.exe" --nodesktop --lng=EN
[ "$code" = 0 ] || { fail "first install exit $code"; echo "$out"; }
out=$(sed -n '/^\[after full run\]/,$p' <<<"$out")
expect "$out" "ErrorText="
menu=$(value "$out" MyStartMenu)
menu=${menu%\\}
menu_unix=$(unix_path "$menu")
desktop_unix=$drive_c/users/Public/Desktop  # %PUBLIC%\Desktop
expect "$out" "Exec=$pgm\\Quillon.EXE"
expect "$out" "ExecParams=/autoclose"
expect "$out" "UninstallerPath=$pgm\\uninstall.exe"
files="$pgm\\info.txt|$pgm\\Quillon.EXE|$pgm\\bin\\helper.exe|$pgm\\raw.bin|$pgm\\Daten\\after.txt|$pgm\\Daten\\Notes.QDB|$pgm\\Quillon.ico"
files+="|$menu\\\\Quillon.lnk|$menu\\\\Liesmich.LNK|$pgm\\Desktop.ini|$pgm\\uninstall.exe"
written=$(grep -m1 '^WrittenFiles=' <<<"$out" | cut -d= -f2- | tr '|' '\n' | sort -u)
[ "$written" = "$(tr '|' '\n' <<<"$files" | sort -u)" ] || fail "written files: $written"

for f in info.txt Quillon.EXE raw.bin; do
  cmp -s "$root/$f" "$pgm_unix/$f" || fail "$f differs from its source"
done
cmp -s "$root/helper.exe" "$pgm_unix/bin/helper.exe" || fail "bin/helper.exe differs"
cmp -s "$root/after.txt" "$pgm_unix/Daten/after.txt" || fail "the file after the spared one differs"
[ "$(cat "$pgm_unix/Daten/settings.ini")" = "user's own" ] || fail "saveifnotexists replaced the file"

# Shortcuts.
lnk=$menu_unix/Quillon.lnk
[ -f "$lnk" ] || fail "no start-menu link"
[ -f "$menu_unix/Liesmich.LNK" ] || fail "no Liesmich.LNK"
[ -e "$menu_unix/Liesmich.LNK.lnk" ] && fail ".lnk doubled"
[ -e "$desktop_unix/QuillonAct.lnk" ] && fail "desktop link made although not wanted"
lnkinfo "$lnk" >/dev/null 2>&1 || fail "lnkinfo cannot read $lnk"
case "$(lnk_field "$lnk" 'Local path')" in
  *'QuillonAct\Quillon.EXE') ;;
  *) fail "link target: $(lnk_field "$lnk" 'Local path')";;
esac
[ "$(lnk_field "$lnk" 'Command line arguments')" = '/open "last file"' ] ||
  fail "link arguments: $(lnk_field "$lnk" 'Command line arguments')"
[ "$(lnk_field "$lnk" 'Working directory')" = "$pgm\\" ] ||
  fail "link working folder: $(lnk_field "$lnk" 'Working directory')"

# Desktop.ini: exact bytes, hidden and system; the folder a system folder.
printf '[.ShellClassInfo]\r\nIconFile=%s\\Quillon.ico\r\nIconIndex=0\r\n' "$pgm" >"$work/desktop.ini"
cmp -s "$work/desktop.ini" "$pgm_unix/Desktop.ini" || fail "Desktop.ini bytes"
ini_flags=$(qd attrib "$pgm\\Desktop.ini")
[[ $ini_flags == *H* && $ini_flags == *S* ]] || fail "Desktop.ini attributes: '$ini_flags'"
folder_flags=$(qd attrib "$pgm")
[[ $folder_flags == *[SR]* ]] || fail "program folder not a system folder: '$folder_flags'"
[ -e "$pgm_unix/Daten/Desktop.ini" ] && fail "Desktop.ini written without its icon"

# The registry entry.
first_key=$(entries)
[ "$(wc -l <<<"$first_key")" = 1 ] || fail "entries after the first install: $first_key"
today=$(date +%d.%m.%Y)
[ "$(reg_value "$first_key" DisplayName)" = "REG_SZ QuillonAct (Installation $today)" ] ||
  fail "DisplayName: $(reg_value "$first_key" DisplayName)"
[ "$(reg_value "$first_key" UninstallString)" = "REG_SZ \"$pgm\\uninstall.exe\" /uninst \"UninstallKey=$first_key\"" ] ||
  fail "UninstallString: $(reg_value "$first_key" UninstallString)"
[ "$(reg_value "$first_key" Publisher)" = "REG_SZ Quill Act, Test" ] || fail "Publisher"
[ "$(reg_value "$first_key" HelpLink)" = "REG_SZ http://quillon.example/help" ] || fail "HelpLink"
for name in URLInfoAbout URLUpdateInfo RegOwner Readme; do
  [ -z "$(reg_value "$first_key" $name)" ] || fail "$name written without a value"
done
[ "$(reg_value "$first_key" NoModify)" = "REG_DWORD 0x1" ] || fail "NoModify"
[ "$(reg_value "$first_key" NoRepair)" = "REG_DWORD 0x1" ] || fail "NoRepair"
"$WINE" uninstaller --list 2>/dev/null | tr -d '\r' | grep -qxF "$first_key|||QuillonAct (Installation $today)" ||
  fail "uninstaller --list does not show the product"

# The uninstaller file and its information.
sections=$("$setuppack" list "$pgm_unix/uninstall.exe" 2>&1 | tr -d '\r')
for s in Section:BeginningMark Section:Setup.lng Section:Uninst; do
  grep -qF "$s" <<<"$sections" || fail "uninstaller lacks $s"
done
grep -qF Section:Setup.cmd <<<"$sections" && fail "uninstaller carries the script"
cmp -s <(head -c "$(stat -c %s "$harness")" "$pgm_unix/uninstall.exe") "$harness" || fail "stub part differs"
info=$(python3 "$here/sections.py" uninst "$pgm_unix/uninstall.exe" | tr -d '\r')
expected_info="UninstallKey=$first_key
Lng=EN
PgmPath=$pgm\\
DataPath=$pgm\\Daten\\
MyStartMenu=$menu\\
$(tr '|' '\n' <<<"$files" | sed 's/^/file=/')
dir=$menu
dir=$pgm\\Daten
dir=$pgm\\bin
dir=$pgm"
[ "$info" = "$expected_info" ] || { fail "uninstall information"; diff <(echo "$expected_info") <(echo "$info"); }

# --- second installation into the same folder: the entry is reused ------------
# The entry's name holds the time to the second: the next second begins
# first, so that a new entry could not take the same name.
first_second=$(date +%s)
until [ "$(date +%s)" != "$first_second" ]; do sleep 0.1; done
run "$work/setup.exe" --lng=EN
[ "$code" = 0 ] || fail "second install exit $code"
[ "$(entries)" = "$first_key" ] || fail "second install into the same folder added an entry: $(entries)"
grep -qF "UninstallValues=UninstallKey=$first_key|Lng=EN|" <<<"$out" || fail "entry name not reused"
grep -qF "\"UninstallKey=$first_key\"" <<<"$(reg_value "$first_key" UninstallString)" &&
  fail "UninstallString kept the old key text"
[ -f "$desktop_unix/QuillonAct.lnk" ] || fail "desktop link missing although wanted"

# --- third installation into another folder: a second entry -------------------
run "$work/setup.exe" '--pgmpath=C:\QuillonAct2\'
[ "$code" = 0 ] || fail "third install exit $code"
[ "$(entries | wc -l)" = 2 ] || fail "install into another folder: $(entries)"
second_key=$(entries | grep -vxF "$first_key")
[ "$(reg_value "$second_key" UninstallString)" = "REG_SZ C:\\QuillonAct2\\uninstall.exe /uninst \"UninstallKey=$second_key\"" ] ||
  fail "unquoted UninstallString: $(reg_value "$second_key" UninstallString)"

# --- the setup started with /UNINST: it has no uninstall information, so
# nothing goes (the entry stays with its uninstaller) ----------------------------
"$WINE" reg add "$uninstall_root\\ab" /v DisplayName /d ab /f >/dev/null 2>&1
run "$work/setup.exe" /UNINST "UninstallKey=$second_key"
expect "$out" "mode=uninstall"
expect "$out" "ErrorText=uninstall information not found; "
[ "$(entries | wc -l)" = 2 ] || fail "/UNINST without information removed an entry: $(entries)"
[ -f "$drive_c/QuillonAct2/Quillon.EXE" ] || fail "/UNINST without information removed files"
run "$work/setup.exe" /uninst UninstallKey=ab
qd reg "$uninstall_root\\ab" | head -1 | grep -qxF "[$uninstall_root\\ab]" || fail "a two-character key deleted an entry"

# --- the uninstaller it wrote, started in place -------------------------------
run "$pgm\\uninstall.exe"
expect "$out" "mode=uninstall"
[ "$(entries)" = "$second_key" ] || fail "uninstall left: $(entries)"
for f in info.txt Quillon.EXE raw.bin Quillon.ico Desktop.ini Daten/after.txt; do
  [ -e "$pgm_unix/$f" ] && fail "uninstall left $f"
done
[ -f "$pgm_unix/Daten/Notes.QDB" ] || fail "the kept .QDB file was deleted"
[ -f "$pgm_unix/Daten/settings.ini" ] || fail "a file the setup did not write was deleted"
[ -e "$pgm_unix/bin" ] && fail "uninstall left the emptied bin folder"
[ -e "$menu_unix" ] && fail "uninstall left the start-menu folder"
[ -e "$desktop_unix/QuillonAct.lnk" ] && fail "uninstall left the desktop link"
[ -f "$pgm_unix/uninstall.exe" ] || fail "the running uninstaller removed itself"

# --- packages the packer would refuse: broken sizes -----------------------------
printf 'abcde' >"$work/bad.bin"
printf '%s\r\n' 'action=save,OrigLen=3,Filename=C:\QuillonActBad\one.txt' \
  'action=save,OrigLen=3,Filename=C:\QuillonActBad\two.txt' >"$work/bad.cmd"
python3 "$here/sections.py" pack "$harness" "$work/bad.cmd" "$work/bad.bin" "$work/bad.exe"
run "$work/bad.exe"
[ "$code" = 1 ] || fail "short data: exit $code"
expect "$out" 'ErrorText=data error in C:\QuillonActBad\two.txt; Command failed: action=save,OrigLen=3,Filename=C:\QuillonActBad\two.txt; '
[ ! -e "$drive_c/QuillonActBad" ] || fail "the failed run was not undone: $(ls "$drive_c/QuillonActBad")"
printf '%s\r\n' 'action=save,OrigLen=3x,Filename=C:\QuillonActBad\three.txt' >"$work/bad.cmd"
python3 "$here/sections.py" pack "$harness" "$work/bad.cmd" "$work/bad.bin" "$work/bad.exe"
run "$work/bad.exe"
expect "$out" 'ErrorText=OrigLen is 0 in C:\QuillonActBad\three.txt; Command failed: action=save,OrigLen=3x,Filename=C:\QuillonActBad\three.txt; '

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all action checks passed"
