#!/usr/bin/env bash
# A DLL planted beside Setup.exe is not loaded. The planted DLL leaves a
# marker file when a process loads it, and Wine is told to prefer a DLL of
# that name found on the search path (WINEDLLOVERRIDES "n,b"), so that only
# the search order decides. First the control: a small program that asks for
# the same name with LoadLibraryA loads the planted copy, and does not once it
# has restricted the search to the system folder as Setup.exe does at its
# start. Then Setup.exe must make that restriction before anything else that
# loads DLLs by name (COM, window classes, windows).
set -u
: "${Q_TOP:?}" "${Q_SETUPPACK:?}" "${Q_STUB:?}" "${Q_QUILLON:?}" "${Q_PARTNER:?}" "${Q_QDRIVER:?}" "${Q_PLANT:?}" "${Q_PROBE:?}" "${Q_SAMPLE:?}"
[ -x "$Q_SETUPPACK" ] || { echo "SKIP: the native setuppack is missing ($Q_SETUPPACK)"; exit 77; }
[ -f "$Q_STUB" ] || { echo "SKIP: Setup-stub.exe is missing"; exit 77; }
if [ -z "${Q_E2E_INSIDE:-}" ]; then
  export Q_E2E_INSIDE=1 Q_PRIVATE_DISPLAY=1 Q_WINE_SESSION=1
  exec "$Q_TOP/scripts/with-wine" bash "$0" "$@"
fi

failures=0
ok() { echo "ok   - $*"; }
fail() { echo "FAIL - $*"; failures=$((failures + 1)); }
export LC_ALL=de_DE.UTF-8
"$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

# The name: a DLL Setup.exe has the system load after its start (the themes
# of the common controls); it is no known DLL.
name=uxtheme
dir=$WINEPREFIX/drive_c/planted
mkdir -p "$dir/root"
cp "$Q_PROBE" "$dir/dllprobe.exe"
cp "$Q_QDRIVER" "$dir/qdriver.exe"
cp "$Q_PLANT" "$dir/$name.dll"
override="$WINEDLLOVERRIDES;$name=n,b"
marker=$dir/$name.dll.loaded

out=$(WINEDLLOVERRIDES=$override "$WINE" 'C:\planted\dllprobe.exe' $name.dll 2>&1 | tr -d '\r')
echo "  unprotected: $out"
if [ -f "$marker" ] && grep -q 'loaded:C:\\planted\\' <<<"$out"; then ok "control: without protection the planted DLL is loaded"
else fail "control: the planted DLL is not loaded even without protection (the test proves nothing)"; fi
rm -f "$marker"

out=$(WINEDLLOVERRIDES=$override "$WINE" 'C:\planted\dllprobe.exe' $name.dll protect 2>&1 | tr -d '\r')
echo "  protected:   $out"
if [ ! -f "$marker" ] && grep -qi 'loaded:C:\\windows\\system32\\' <<<"$out"; then ok "control: with the protection the system's copy is loaded"
else fail "control: the protection does not keep the planted DLL out"; fi
rm -f "$marker"

# Setup.exe restricts the search first thing: before COM and before any
# window (the calls that make the system load DLLs by name). Wine's relay
# trace of those calls shows their order.
cp "$Q_QUILLON" "$dir/root/Quillon.exe"
cp "$Q_PARTNER" "$dir/root/eBay_Setup_shortcuts_1018.exe"
cp "$Q_SAMPLE/info.txt" "$Q_SAMPLE/Quillon.ico" "$Q_SAMPLE/Quillon.qdb" "$dir/root/"
"$Q_SETUPPACK" build --stub "$Q_STUB" --script "$Q_SAMPLE/setup.src" --root "$dir/root" \
  --lng "$Q_SAMPLE/Setup.lng" -o "$dir/Setup.exe" >/dev/null || fail "setuppack failed"
watched='SetDefaultDllDirectories;CoInitialize;CoInitializeEx;OleInitialize;RegisterClassA;RegisterClassW;RegisterClassExA;RegisterClassExW;CreateWindowExA;CreateWindowExW'
"$WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$watched" /f >/dev/null 2>&1
# run_setup LOG [ENV...]: Setup.exe until its install question, then cancelled.
run_setup() {
  local log=$1; shift
  env "$@" "$WINE" 'C:\planted\Setup.exe' >"$log" 2>&1 </dev/null &
  local pid=$!
  # The click waits until the button takes it; the run then ends by itself.
  "$WINE" 'C:\planted\qdriver.exe' wait-setup 90 >/dev/null 2>&1 </dev/null &&
    "$WINE" 'C:\planted\qdriver.exe' click Abbrechen >/dev/null 2>&1 </dev/null ||
    fail "Setup.exe showed no install question to cancel"
  wait $pid
}
run_setup "$dir/relay.log" WINEDEBUG=+relay,+loaddll
"$WINE" reg delete 'HKCU\Software\Wine\Debug' /v RelayInclude /f >/dev/null 2>&1
# Only calls made by Setup.exe's own code count (Wine's DLLs register their
# window classes as they load): those that return into its image.
# 32-bit programs all load at the same address, so the calls are also
# taken from Setup.exe's main thread only: the one that loaded its image.
loaded=$(grep -a -m1 'Loaded L".*planted.*Setup.exe" at' "$dir/relay.log")
base=$(sed 's/.* at \([0-9A-Fa-f]*\).*/\1/' <<<"$loaded")
thread=${loaded%%:*}
size=$(x86_64-w64-mingw32-objdump -p "$dir/Setup.exe" 2>/dev/null | awk '/^SizeOfImage/ {print $2}')
[ -n "$size" ] || size=$(i686-w64-mingw32-objdump -p "$dir/Setup.exe" 2>/dev/null | awk '/^SizeOfImage/ {print $2}')
calls=""
if [ -n "$base" ] && [ -n "$size" ]; then
  low=$((16#$base)); high=$((16#$base + 16#$size))
  while read -r line; do
    ret=$(sed -n 's/.* ret=\([0-9A-Fa-f]*\).*/\1/p' <<<"$line")
    [ -n "$ret" ] && [ $((16#$ret)) -ge $low ] && [ $((16#$ret)) -lt $high ] &&
      calls+="$(sed 's/^[^:]*:Call //; s/ ret=.*//' <<<"$line")"$'\n'
    [ "$(grep -c . <<<"$calls")" -ge 5 ] && break
  done < <(grep -aE "^$thread:Call [A-Za-z0-9_]+\.[A-Za-z0-9_]+\(" "$dir/relay.log")
fi
process=$base
echo "  Setup.exe's first watched calls:"; sed 's/^/    /' <<<"$calls"
if [ -n "$process" ] && grep -qi '^[a-z0-9]*\.SetDefaultDllDirectories(00000800)' <<<"$(head -1 <<<"$calls")"; then
  ok "Setup.exe restricts the DLL search to the system folder before COM and its windows"
else
  fail "Setup.exe does not restrict the DLL search first"
fi

# No whole run beyond that: Wine's own loads (user32 and the delay imports of
# its common controls) do not follow the restriction, so under Wine, told to
# prefer a DLL on the search path, Setup.exe takes the planted copy all the
# same, and without that override Wine always uses its own. Neither outcome
# says anything about Setup.exe; the order of its calls above does.

[ $failures -eq 0 ] && { echo "dll_planting: all checks passed"; exit 0; }
echo "dll_planting: $failures check(s) failed"; exit 1
