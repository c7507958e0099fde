#!/usr/bin/env bash
# image_flags.sh STUB [STUB...]: each Setup-stub.exe is linked for address-
# space layout randomisation (DYNAMIC_BASE, with its relocations kept), with
# data pages not executable (NX_COMPAT) and, for x86_64, with high-entropy
# addresses; it carries a load configuration whose DependentLoadFlags are
# LOAD_LIBRARY_SEARCH_SYSTEM32; and it imports only DLLs that Windows loads from its system
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
  # The load configuration's DependentLoadFlags keep the DLLs that the loader
  # brings in before WinMain (the imports' own imports) to the system folder.
  read -r rva size < <(awk '$1 == "Entry" && $2 == "a" { print $3, $4 }' <<<"$headers")
  if [ -z "${rva:-}" ] || [ $((16#${size:-0})) -eq 0 ]; then
    fail "$arch: no load configuration directory"
  else
    # The entry's address lies in a section: its file offset from the section table.
    base=$((16#$(sed -n 's/^ImageBase[[:space:]]*//p' <<<"$headers")))
    at=""
    while read -r _ _ vsize vma _ offset _; do
      start=$((16#$vma - base))
      if [ $((16#$rva)) -ge $start ] && [ $((16#$rva)) -lt $((start + 16#$vsize)) ]; then
        at=$((16#$rva - start + 16#$offset)); break
      fi
    done < <($objdump -h "$stub" | awk '$1 ~ /^[0-9]+$/')
    field=$([ $arch = i686 ] && echo 54 || echo 78)
    flags=$([ -n "$at" ] && od -An -tx2 -j$((at + field)) -N2 "$stub" | tr -d ' ')
    [ "$flags" = 0800 ] && ok "$arch: load configuration with DependentLoadFlags 0x800 (system folder only)" ||
      fail "$arch: DependentLoadFlags are 0x$flags, not 0x800"
  fi
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sed 's/\.dll$//' | sort -u)
  for dll in $imports; do
    grep -qw "$dll" <<<"$known" && ok "$arch: imports $dll.dll (a known DLL)" ||
      fail "$arch: imports $dll.dll, which Windows would look for beside Setup.exe first"
  done
done
[ $checked -gt 0 ] || { echo "SKIP: no stub built"; exit 77; }
[ $failures -eq 0 ] && { echo "image_flags: all checks passed"; exit 0; }
echo "image_flags: $failures check(s) failed"; exit 1
