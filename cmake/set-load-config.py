#!/usr/bin/env python3
"""set-load-config.py EXE MAP: points the program image's load-configuration
directory entry at the `_load_config_used` structure that the link map
places. This GNU ld does not fill the entry from the symbol itself; the
Windows loader reads the structure (its DependentLoadFlags) only through the
entry. Exits non-zero when the symbol or the header is missing."""
import re
import struct
import sys

LOAD_CONFIG_ENTRY = 10
# Windows XP read a 32-bit image's structure only when the entry said 64
# bytes; later systems take the size from the structure's own first field.
X86_ENTRY_SIZE = 0x40


def image_checksum(image, checksum_at):
    """The header checksum as the loader and the signing tools compute it."""
    data = image[:checksum_at] + b"\0\0\0\0" + image[checksum_at + 4:]
    if len(data) % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def main(exe_path, map_path):
    with open(map_path, encoding="utf-8", errors="replace") as map_file:
        found = re.search(r"^\s+0x([0-9a-fA-F]+)\s+_?_load_config_used\s*$", map_file.read(), re.M)
    if not found:
        sys.exit(f"{map_path}: no _load_config_used")
    address = int(found.group(1), 16)

    with open(exe_path, "r+b") as exe:
        image = bytearray(exe.read())
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        if image[pe:pe + 4] != b"PE\0\0":
            sys.exit(f"{exe_path}: not a program image")
        sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", image, optional)[0]
        wide = magic == 0x20B
        image_base = struct.unpack_from("<Q" if wide else "<I", image, optional + (24 if wide else 28))[0]
        directory = optional + (112 if wide else 96)
        rva = address - image_base
        # The structure's own size, read where its section lies in the file.
        table = optional + optional_size
        for index in range(sections):
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<8xIIII", image, table + 40 * index)
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                size = struct.unpack_from("<I", image, raw_offset + rva - virtual_address)[0]
                break
        else:
            sys.exit(f"{exe_path}: _load_config_used lies in no section")
        entry_size = size if wide else min(size, X86_ENTRY_SIZE)
        struct.pack_into("<II", image, directory + 8 * LOAD_CONFIG_ENTRY, rva, entry_size)
        checksum_at = optional + 64
        if struct.unpack_from("<I", image, checksum_at)[0] != 0:
            struct.pack_into("<I", image, checksum_at, image_checksum(image, checksum_at))
        exe.seek(0)
        exe.write(image)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
