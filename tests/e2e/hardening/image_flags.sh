#!/usr/bin/env bash
# image_flags.sh STUB [STUB...]: each Setup-stub.exe is linked for address-
# space layout randomisation (DYNAMIC_BASE, with its relocations kept), with
# data pages not executable (NX_COMPAT) and, for x86_64, with high-entropy
# addresses; and it imports only DLLs that Windows loads from its system
# folder whatever lies beside Setup.exe (its known DLLs): an import such as
# zlib1.dll would be looked up beside Setup.exe before any of its code runs.
# A stub named but not built (the other architecture's) is skipped; none at
# all: exit 77.
set -u
failures=0
checked=0
fail() { echo "FAIL - $*"; failures=$((failures + 1)); }
ok() { echo "ok   - $*"; }

# Known DLLs of Windows (HKLM\...\Session Manager\KnownDLLs) that a setup needs.
known='advapi32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi user32 comctl32'

for stub in "$@"; do
  [ -f "$stub" ] || { echo "skip - $stub (not built)"; continue; }
  # The machine field of the PE header tells the architecture.
  pe=$(od -An -tu4 -j60 -N4 "$stub" | tr -d ' ')
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$stub" | tr -d ' ')
  case $machine in
    014c) objdump=i686-w64-mingw32-objdump; arch=i686 ;;
    8664) objdump=x86_64-w64-mingw32-objdump; arch=x86_64 ;;
    *) fail "$stub: unknown machine $machine"; continue ;;
  esac
  command -v $objdump >/dev/null || { echo "SKIP: $objdump missing"; exit 77; }
  checked=$((checked + 1))
  headers=$($objdump -p "$stub")
  flags=$(sed -n '/^DllCharacteristics/,/^SizeOfStackReserve/p' <<<"$headers")
  grep -qw DYNAMIC_BASE <<<"$flags" && ok "$arch: DYNAMIC_BASE" || fail "$arch: not linked with --dynamicbase"
  grep -qw NX_COMPAT <<<"$flags" && ok "$arch: NX_COMPAT" || fail "$arch: not linked with --nxcompat"
  if [ $arch = x86_64 ]; then
    grep -qw HIGH_ENTROPY_VA <<<"$flags" && ok "$arch: HIGH_ENTROPY_VA" || fail "$arch: not linked with --high-entropy-va"
  fi
  # Without relocations the loader cannot move the image: ASLR in name only.
  $objdump -h "$stub" | grep -q ' \.reloc ' && ok "$arch: relocations kept" || fail "$arch: no .reloc section"
  grep -q 'RELOCS_STRIPPED' <<<"$headers" && fail "$arch: relocations stripped"
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | sort -u)
  for dll in $imports; do
    grep -qw "$dll" <<<"$known" && ok "$arch: imports $dll.dll (a known DLL)" ||
      fail "$arch: imports $dll.dll, which Windows would look for beside Setup.exe first"
  done
done
[ $checked -gt 0 ] || { echo "SKIP: no stub built"; exit 77; }
[ $failures -eq 0 ] && { echo "image_flags: all checks passed"; exit 0; }
echo "image_flags: $failures check(s) failed"; exit 1
