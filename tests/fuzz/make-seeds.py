#!/usr/bin/env python3
"""Writes the small seed corpora in corpus/<target>/ (run once; the files are
committed). Each seed follows the input layout its fuzz target describes."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
KEY = 0x5A


def marker(name: bytes) -> bytes:
    return b"\xf7" + bytes(c ^ KEY for c in name) + b"\xf7"


def section(name: bytes, payload: bytes, length=None) -> bytes:
    n = len(payload) if length is None else length
    return marker(name) + struct.pack("<i", n) + payload


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


SCRIPT = (b"action=path,Registry=Quillon\\Quillon,Version=2.5,PgmPath=*Programs*\\Quillon,"
          b"DataPath=*PgmPath*\\Daten,MyStartMenu=*StartMenu*\\Quillon\r\n")
INFO = b"Quillon info\r\n"
EXE = b"MZ tiny program"
QDB = b"user data"
packed_info = zlib.compress(INFO, 9)
script = (SCRIPT
          + b"action=save,OrigLen=%d,ComprLen=%d,Filename=*PgmPath*\\info.txt\r\n" % (len(INFO), len(packed_info))
          + b"action=save,OrigLen=%d,Filename=*PgmPath*\\Quillon.exe\r\n" % len(EXE)
          + b"action=saveifnotexists,OrigLen=%d,Filename=*DataPath*\\Quillon.qdb\r\n" % len(QDB)
          + b"action=icon,file=*PgmPath*\\Quillon.exe,lnk=*MyStartMenu*\\Quillon.lnk\r\n"
          + b"action=icon,file=*PgmPath*\\Quillon.exe,lnk=*Desktop*\\Quillon\r\n"
          + b"action=desktopini,path=*PgmPath*\\,icon=*PgmPath*\\Quillon.exe\r\n"
          + b"action=exec,params=/autoclose\r\n"
          + b"action=uninst,name=Quillon,\"Publisher=Quillon Software GmbH\",Readme=*PgmPath*\\info.txt\r\n")
packed = packed_info + EXE + QDB

# sections: [n][name n bytes][data]
part = section(b"Section:BeginningMark", b"") + section(b"Section:Setup.lng", "\ufeffDE=Ja\r\nEN=Yes\r\n".encode("utf-16-le")) \
    + section(b"Section:Setup.cmd", zlib.compress(script)) + section(b"Section:Setup.bin", zlib.compress(packed))
put("sections", "package", b"\x00" + part)
put("sections", "uninstaller", b"\x00" + section(b"Section:BeginningMark", b"") + section(b"Section:Uninst", zlib.compress(b"file=C:\\x\r\n")))
put("sections", "named", b"\x04Test" + section(b"Test", b"payload") + section(b"Section:Uninst", b"", 0))
put("sections", "length-minus-one", b"\x00" + section(b"Section:Setup.cmd", b"abc", -1))
put("sections", "length-max", b"\x00" + section(b"Section:Setup.bin", b"abc", 0x7FFFFFFF))
put("sections", "cut-length", b"\x00" + marker(b"Section:Setup.cmd") + b"\x01\x00")

# decompress: raw zlib streams
put("decompress", "text", zlib.compress(script))
put("decompress", "stored", zlib.compress(b"abc" * 50, 0))
put("decompress", "truncated", zlib.compress(script)[:40])
put("decompress", "empty-stream", zlib.compress(b""))
c = zlib.compressobj(zdict=b"dictionary words")
put("decompress", "preset-dictionary", c.compress(b"dictionary words here") + c.flush())
put("decompress", "bomb", zlib.compress(b"\0" * 200000, 9))

# script: [flags][n lo][n hi][packed n][script]
for flags, name in ((0x01, "whole-setup"), (0x07, "whole-setup-desktop"), (0x00, "lines"), (0x0D, "wrong-type")):
    put("script", name, bytes([flags]) + struct.pack("<H", len(packed)) + packed + script)
put("script", "unknown-action", b"\x01\x00\x00" + SCRIPT + b"action=launch,x=1\r\n\r\naction=Path,Registry=X\r\n")
put("script", "quotes", b"\x00\x00\x00" + b"\"action=path\",\"PgmPath=C:\\a \"\"b\"\"\",,x=\"y\r\naction=path,\"Registry=unclosed\n")

# lang: [mode][data]
with open(os.path.join(HERE, "..", "..", "sample", "Setup.lng"), "rb") as f:
    lng = f.read()
lng16 = b"\xff\xfe" + lng.decode("utf-8").encode("utf-16-le")
put("lang", "section-text", b"\x00" + lng16)
put("lang", "file-utf16", b"\x04" + lng16)
put("lang", "file-ansi-1250", b"\x05" + lng.decode("utf-8").encode("cp1250", "replace"))
put("lang", "file-utf8-bom", b"\x04\xef\xbb\xbf" + lng)
put("lang", "edge-lines", b"\x04" + b"// ID=7;x\r\nDE=Ja!.\r\nen3=Yes :\r\nUS=\r\nde0=x\r\n/ single\r\n\r\n//\r\nFR=...\r\n")

# uninstall: [mode][payload]
info = (b"UninstallKey=Quillon 2024-01-02 03.04.05\r\nLng=EN\r\nfile=C:\\P\\Quillon.exe\r\n"
        b"file=C:\\P\\Daten\\Quillon.qdb\r\nfile=C:\\P\\uninstall.exe\r\ndir=C:\\P\\Daten\r\ndir=C:\\P\r\n")
put("uninstall", "lines", b"\x01" + info)
put("uninstall", "stream", b"\x00" + zlib.compress(info))
put("uninstall", "not-a-stream", b"\x00" + info)
put("uninstall", "missing-paths", b"\x01" + b"file=C:\\nowhere\\x.txt\r\ndir=C:\\nowhere\r\ndir=\\\\\r\ndir=C:\r\n")

# cmdline: [mode][command line]
put("cmdline", "uninstaller", b"\x00\"C:\\P\\uninstall.exe\" /uninst \"UninstallKey=Quillon 2024-01-02 03.04.05\"")
put("cmdline", "quotes", b"\x01Setup.exe \"\" a\"b c\"d \"\"\"x /UNINST\tUninstallKey=\\\\\\")
put("cmdline", "short-key", b"\x00x /uninst UninstallKey=ab")

# patch: two bytes of the base's length, the base, a patch (three zstd frames)
def leb(n):
    out = b""
    while n >= 0x80:
        out += bytes([n & 0x7F | 0x80])
        n >>= 7
    return out + bytes([n])


def zstd_frame(data):
    import subprocess
    return subprocess.run(["zstd", "-q", "-c", "-19"], input=data, capture_output=True, check=True).stdout if data else b""


def patch_seed(base, new_size, steps, gaps, first, follow, extra):
    frames = [zstd_frame(s) for s in (steps, gaps, first, follow, extra)]
    header = b"QDP1" + b"".join(leb(n) for n in (len(base), new_size, *map(len, frames)))
    return struct.pack("<H", len(base)) + base + header + b"".join(frames)


BASE = b"0123456789" * 20
# 100 bytes from 0 with the 41st changed, 5 new, back 50 (zigzag 99), 95 more
put("patch", "sound", patch_seed(BASE, 200, leb(100) + leb(5) + leb(99) + leb(95) + leb(0) + leb(0),
                                 bytes([40]), b"\1", b"", b"hello"))
put("patch", "outside", patch_seed(BASE, 50, leb(50) + leb(0) + leb(400) + leb(0) + leb(0) + leb(0),
                                   b"", b"", b"", b""))
