#!/usr/bin/env python3
"""Byte surgery on setup packages for the broken-input tests, independent of
the program's own code: sections are found by their markers (0xF7, the name
XORed with the marker key 0x5A, 0xF7), a signed little-endian length, the
payload.

  sections.py list PKG                       name marker-offset payload-offset length
  sections.py cut PKG OFFSET OUT             the first OFFSET bytes
  sections.py setlen PKG NAME VALUE OUT      the section's length field := VALUE
  sections.py flip PKG NAME POS OUT          payload byte POS (negative: from the end) XOR 0xFF
  sections.py payload PKG NAME DATA OUT      the section's payload := the bytes of file DATA
  sections.py flipfile PKG OUT               one byte in the middle of the first packed
                                             file's own stream (Setup.bin re-packed)
"""
import struct
import sys
import zlib

KEY = 0x5A


def marker(name):
    return b"\xf7" + bytes(c ^ KEY for c in name.encode("latin-1")) + b"\xf7"


def find(data, name):
    m = marker(name)
    at = data.find(m)
    if at < 0:
        sys.exit("no section %s" % name)
    length_at = at + len(m)
    (length,) = struct.unpack_from("<i", data, length_at)
    return at, length_at, length_at + 4, length


def read(path):
    with open(path, "rb") as f:
        return bytearray(f.read())


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def replace_payload(data, name, payload):
    at, length_at, start, length = find(data, name)
    return data[:length_at] + struct.pack("<i", len(payload)) + payload + data[start + max(length, 0):]


def main(argv):
    cmd = argv[1]
    data = read(argv[2])
    if cmd == "list":
        for name in ("Section:BeginningMark", "Section:Setup.lng", "Section:Setup.cmd",
                     "Section:Setup.bin", "Section:Setup.zst", "Section:Uninst"):
            if data.find(marker(name)) >= 0:
                at, _, start, length = find(data, name)
                print(name, at, start, length)
    elif cmd == "cut":
        write(argv[4], data[: int(argv[3])])
    elif cmd == "setlen":
        _, length_at, _, _ = find(data, argv[3])
        struct.pack_into("<i", data, length_at, int(argv[4]))
        write(argv[5], data)
    elif cmd == "flip":
        _, _, start, length = find(data, argv[3])
        pos = int(argv[4])
        if pos < 0:
            pos += length
        data[start + pos] ^= 0xFF
        write(argv[5], data)
    elif cmd == "payload":
        write(argv[5], replace_payload(data, argv[3], bytes(read(argv[4]))))
    elif cmd == "flipfile":
        _, _, start, length = find(data, "Section:Setup.cmd")
        script = zlib.decompress(bytes(data[start:start + length])).decode("latin-1")
        first = next(l for l in script.splitlines() if l.startswith("action=save") and "ComprLen=" in l)
        compr = int(first.split("ComprLen=")[1].split(",")[0])
        _, _, start, length = find(data, "Section:Setup.bin")
        packed = bytearray(zlib.decompress(bytes(data[start:start + length])))
        packed[compr // 2] ^= 0xFF
        write(argv[3], replace_payload(data, "Section:Setup.bin", zlib.compress(bytes(packed))))
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main(sys.argv)
