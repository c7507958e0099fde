#!/usr/bin/env python3
"""Reads and writes setup sections without the program's own code.

  sections.py uninst FILE            prints the uncompressed "Section:Uninst"
  sections.py pack STUB CMD BIN OUT  stub + BeginningMark + Setup.cmd (zlib of
                                     the file CMD) + Setup.bin (zlib of BIN)
A section is 0xF7, the name XORed with 0x5A, 0xF7, a signed 32-bit
little-endian length and the payload.
"""
import struct
import sys
import zlib


def marker(name):
    return b"\xf7" + bytes(c ^ 0x5A for c in name.encode("ascii")) + b"\xf7"


def section(name, payload):
    return marker(name) + struct.pack("<i", len(payload)) + payload


def read_section(data, name):
    mark = marker(name)
    start = data.find(mark)
    if start < 0:
        sys.exit("no " + name)
    start += len(mark)
    (length,) = struct.unpack("<i", data[start:start + 4])
    return data[start + 4:start + 4 + length]


def main(args):
    if args[0] == "uninst":
        data = open(args[1], "rb").read()
        sys.stdout.buffer.write(zlib.decompress(read_section(data, "Section:Uninst")))
    elif args[0] == "pack":
        stub, cmd, binary, out = (open(p, "rb").read() if i < 3 else p for i, p in enumerate(args[1:5]))
        with open(out, "wb") as f:
            f.write(stub + section("Section:BeginningMark", b"")
                    + section("Section:Setup.cmd", zlib.compress(cmd))
                    + section("Section:Setup.bin", zlib.compress(binary)))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
