#!/usr/bin/env python3
"""Checks that every member whose flags announce a data descriptor has one
right after its data, holding the CRC and sizes of its central header (with
8-byte sizes when its local header carries a ZIP64 field), and that local
and central headers agree on the flag. Prints what is wrong; exits 1 then.
Prints the number of members with descriptors otherwise.

    check_descriptors.py ARCHIVE
"""
import struct
import sys
import zipfile

data = open(sys.argv[1], "rb").read()
faults, described = [], 0
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        at = info.header_offset
        if data[at:at + 4] != b"PK\x03\x04":
            faults.append("%s: no local header at %d" % (info.filename, at))
            continue
        flags, = struct.unpack_from("<H", data, at + 6)
        name_len, extra_len = struct.unpack_from("<HH", data, at + 26)
        if (flags ^ info.flag_bits) & 8:
            faults.append("%s: local and central headers disagree on the descriptor" % info.filename)
        if not info.flag_bits & 8:
            continue
        described += 1
        extra = data[at + 30 + name_len:at + 30 + name_len + extra_len]
        zip64 = False
        while len(extra) >= 4:
            tag, size = struct.unpack_from("<HH", extra)
            zip64 |= tag == 1
            extra = extra[4 + size:]
        end = at + 30 + name_len + extra_len + info.compress_size
        if data[end:end + 4] == b"PK\x07\x08":
            end += 4
        fmt = "<IQQ" if zip64 else "<III"
        found = struct.unpack_from(fmt, data, end)
        if found != (info.CRC, info.compress_size, info.file_size):
            faults.append("%s: descriptor %s, central header %s" %
                          (info.filename, found, (info.CRC, info.compress_size, info.file_size)))
print("\n".join(faults) if faults else described)
sys.exit(1 if faults else 0)
