#!/usr/bin/env python3
"""The peer's installer of a benchmark tree: an NSIS script that installs the
same files into the same folders as the tree's setup.src, writes an
uninstaller and an Add/Remove entry, and removes them all again.

    nsis.py SETUP.SRC ROOT OUT.exe zlib|lzma > script.nsi

zlib: NSIS's default, each file compressed on its own (not solid); lzma:
one solid LZMA stream (makensis's default dictionary).
"""
import os
import re
import sys

UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\QBench"


def files_of(setup_src):
    """(Source path, Filename below *PgmPath*) of each save line, in order."""
    with open(setup_src, "rb") as f:
        lines = f.read().decode("latin-1").split("\r\n")
    for line in lines:
        source = re.search(r"Source=([^,]+)", line)
        name = re.search(r"Filename=\*PgmPath\*\\([^,]+)", line)
        if line.startswith("action=save") and source and name:
            yield source.group(1), name.group(1)


def nsis_script(setup_src, root, out, codec):
    compressor = {"zlib": "zlib", "lzma": "/SOLID lzma"}[codec]
    # The x86_64 stub, like every program the bench runs: not every machine
    # the figures come from can execute 32-bit programs under Wine.
    lines = ["Target amd64-unicode", "SetCompressor %s" % compressor, 'Name "QBench"', 'OutFile "%s"' % out,
             'InstallDir "$PROGRAMFILES\\QBench"', "RequestExecutionLevel admin", "SetDateSave off",
             "Page directory", "Page instfiles", "UninstPage instfiles", "", "Section"]
    folders = set()
    current = None
    entries = list(files_of(setup_src))
    for source, name in entries:
        folder = name.rsplit("\\", 1)[0] if "\\" in name else ""
        if folder != current:
            lines.append('  SetOutPath "$INSTDIR%s"' % ("\\" + folder if folder else ""))
            current = folder
        parts = folder.split("\\") if folder else []
        for depth in range(1, len(parts) + 1):
            folders.add("\\".join(parts[:depth]))
        lines.append('  File "%s"' % os.path.join(os.path.abspath(root), *source.split("\\")))
    lines += ['  WriteUninstaller "$INSTDIR\\uninstall.exe"',
              '  WriteRegStr HKLM "%s" "DisplayName" "QBench"' % UNINSTALL_KEY,
              '  WriteRegStr HKLM "%s" "DisplayVersion" "1.0"' % UNINSTALL_KEY,
              '  WriteRegStr HKLM "%s" "UninstallString" \'"$INSTDIR\\uninstall.exe"\'' % UNINSTALL_KEY,
              '  WriteRegStr HKLM "%s" "QuietUninstallString" \'"$INSTDIR\\uninstall.exe" /S\'' % UNINSTALL_KEY,
              "SectionEnd", "", 'Section "Uninstall"']
    for _, name in entries:
        lines.append('  Delete "$INSTDIR\\%s"' % name)
    for folder in sorted(folders, key=lambda f: (-f.count("\\"), f)):
        lines.append('  RMDir "$INSTDIR\\%s"' % folder)
    lines += ['  DeleteRegKey HKLM "%s"' % UNINSTALL_KEY, '  Delete "$INSTDIR\\uninstall.exe"',
              '  RMDir "$INSTDIR"', "SectionEnd"]
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    sys.stdout.write(nsis_script(*sys.argv[1:5]))
