#!/usr/bin/env bash
# scripts/install-deps on a day the mirror is out of step, against stub
# apt-get, apt-cache, dpkg, dpkg-query and dpkg-source on PATH:
#   update-fails   apt-get update exits 100 (an index of the wrong size)
#   needs-release  as above, and install refuses until -t <codename> is given
#   no-wine32      as above, and wine32:i386 cannot be installed at all
# Each case starts from a machine with nothing installed.
# usage: install_deps_test.sh scripts/install-deps
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
failures=0
check() {  # what, then a command that must succeed
  local what=$1; shift
  if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}

mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
case "$1" in
  update)
    [ "$MIRROR" = healthy ] && exit 0
    echo "E: Failed to fetch http://mirror/debian-security/dists/x/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100 ;;
  install)
    shift; release=; pkgs=()
    while [ $# -gt 0 ]; do
      case "$1" in -t) release=$2; shift ;; -*) ;; *) pkgs+=("$1") ;; esac; shift
    done
    if [ "$MIRROR" != update-fails ] && [ "$release" != "$CODENAME" ]; then
      echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
    fi
    if [ "$MIRROR" = no-wine32 ] && printf '%s\n' "${pkgs[@]}" | grep -qx 'wine32:i386'; then
      echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
    fi
    printf '%s\n' "${pkgs[@]}" >>"$STATE/installed" ;;
  source)  # the installed revision's source is not on the mirror; the older one is
    case "$*" in *"libzstd=1.5.4+dfsg2-5+deb12u1"*) exit 100 ;; esac
    touch zstd_1.5.4.dsc ;;
esac
STUB
cat >"$work/bin/apt-cache" <<'STUB'
#!/usr/bin/env bash
printf 'Package: libzstd\nVersion: 1.5.4+dfsg2-5\n\nPackage: libzstd\nVersion: 1.5.2+dfsg2-3\n'
STUB
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
name=${*: -1}
case "$*" in *Version*) echo "1.5.4+dfsg2-5+deb12u1"; exit 0 ;; esac
grep -qxF "$name" "$STATE/installed" 2>/dev/null && echo "install ok installed" || exit 1
STUB
cat >"$work/bin/dpkg" <<'STUB'
#!/usr/bin/env bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STUB
cat >"$work/bin/dpkg-source" <<'STUB'
#!/usr/bin/env bash
mkdir -p src && echo "zstd source" >src/README
STUB
printf '#!/usr/bin/env bash\n"$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

run_case() {  # mirror; sets $out, $rc; the state in $STATE
  export STATE=$work/$1 MIRROR=$1 CODENAME=$codename
  mkdir -p "$STATE/apt/sources.list.d"
  printf 'Types: deb\nURIs: http://mirror/debian\n' >"$STATE/apt/sources.list.d/debian.sources"
  out=$(PATH="$work/bin:$PATH" Q_APT_ETC=$STATE/apt Q_APT_RETRY_PAUSE=0 Q_ZSTD_SOURCE=$STATE/zstd \
        Q_WINE32_MARK=$STATE/wine32-mark bash "$script" 2>&1)
  rc=$?
}
has() { grep -qxF "$1" "$STATE/installed"; }
said() { grep -qF -- "$1" <<<"$out"; }
updates() { grep -c '^apt-get update' "$STATE/calls"; }

run_case update-fails
check "update-fails: ends well" test "$rc" = 0
check "update-fails: names the index that failed" said "warning: index not downloaded: http://mirror/debian-security/dists/x/main/binary-i386/Packages.xz"
check "update-fails: the update tried twice, twice more for the source list" test "$(updates)" = 4
check "update-fails: installed everything, wine32 too" bash -c "grep -qx 'wine32:i386' '$STATE/installed' && grep -qx cmake '$STATE/installed'"
check "update-fails: no release pin needed" bash -c "! grep -q -- ' -t ' '$STATE/calls'"
check "update-fails: the source list added beside the binary one" grep -q '^Types: deb-src' "$STATE/apt/sources.list.d/debian-src.sources"
check "update-fails: the zstd source of an available revision, named by the installed one" \
  bash -c "[ -f '$STATE/zstd/README' ] && [ \"\$(cat '$STATE/zstd/.version')\" = 1.5.4+dfsg2-5+deb12u1 ]"

run_case needs-release
check "needs-release: ends well" test "$rc" = 0
check "needs-release: tried again with -t $codename" grep -q -- "install .*-t $codename" "$STATE/calls"
check "needs-release: says why" said "trying the versions of $codename"
check "needs-release: wine32 installed" has 'wine32:i386'

run_case no-wine32
check "no-wine32: ends well" test "$rc" = 0
check "no-wine32: the rest installed" bash -c "grep -qx wine64 '$STATE/installed' && grep -qx xvfb '$STATE/installed'"
check "no-wine32: wine32 not installed" bash -c "! grep -qx 'wine32:i386' '$STATE/installed'"
check "no-wine32: one clear line" said "the 32-bit Wine (wine32:i386) cannot be installed from this mirror today; the Windows tests run the x86_64 build under wine64"
calls_before=$(wc -l <"$STATE/calls")
out=$(PATH="$work/bin:$PATH" Q_APT_ETC=$STATE/apt Q_ZSTD_SOURCE=$STATE/zstd Q_WINE32_MARK=$STATE/wine32-mark \
      bash "$script" 2>&1); rc=$?
check "no-wine32: the next run is quick (asks the mirror nothing) and ends well" \
  test "$rc:$(wc -l <"$STATE/calls")" = "0:$calls_before"

[ "$failures" = 0 ]
