#!/usr/bin/env python3
"""Writes damaged ZIP archives for the decompression library's tests.

Usage: make_bad_archives.py OUTDIR. Each archive also holds a good member
"good.txt", which must still come out whatever happens to the others.
"""
import os
import struct
import sys
import zipfile
import zlib

out = sys.argv[1]
GOOD = b"good member\n"


def build(name, members):
    """members: (name, data, options) with options create_system, attr, method."""
    path = os.path.join(out, name)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for member, data, opts in members:
            info = zipfile.ZipInfo(member, date_time=(2020, 5, 17, 12, 30, 0))
            info.compress_type = opts.get("method", zipfile.ZIP_DEFLATED)
            if "attr" in opts:
                info.create_system = 3
                info.external_attr = opts["attr"] << 16
            z.writestr(info, data)
        z.writestr("good.txt", GOOD)
    return path


def patch_central(path, member, **fields):
    """Rewrites fields of one member in its central and local headers."""
    data = bytearray(open(path, "rb").read())
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(member)
    offsets = {"crc": (16, 14, "<I"), "packed": (20, 18, "<I"), "unpacked": (24, 22, "<I"),
               "method": (10, 8, "<H")}
    central = data.find(b"PK\x01\x02")
    while central >= 0:
        name_len = struct.unpack_from("<H", data, central + 28)[0]
        if data[central + 46:central + 46 + name_len] == member.encode():
            break
        central = data.find(b"PK\x01\x02", central + 4)
    assert central >= 0, member
    for field, value in fields.items():
        c_off, l_off, fmt = offsets[field]
        struct.pack_into(fmt, data, central + c_off, value)
        struct.pack_into(fmt, data, info.header_offset + l_off, value)
    open(path, "wb").write(data)


def flip_data_byte(path, member, at):
    data = bytearray(open(path, "rb").read())
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(member)
    name_len, extra_len = struct.unpack_from("<HH", data, info.header_offset + 26)
    data[info.header_offset + 30 + name_len + extra_len + at] ^= 0x55
    open(path, "wb").write(data)


# Data that inflates past its stored size: small (one piece) and large (streamed).
small = b"a" * 100000
path = build("long_small.zip", [("long.txt", small, {})])
patch_central(path, "long.txt", unpacked=50000, crc=zlib.crc32(small[:50000]))
large = bytes(range(256)) * 65536  # 16 MiB
path = build("long_large.zip", [("long.bin", large, {})])
patch_central(path, "long.bin", unpacked=9 << 20)

# A wrong CRC, in a deflated and a stored member.
path = build("crc.zip", [("bad.txt", b"some text " * 100, {}),
                         ("stored.txt", b"stored text\n", {"method": zipfile.ZIP_STORED})])
with zipfile.ZipFile(path) as z:
    crc = z.getinfo("bad.txt").CRC
patch_central(path, "bad.txt", crc=crc ^ 1)
flip_data_byte(path, "stored.txt", 3)

# Truncated data: the stored compressed size cuts the stream short.
path = build("truncated.zip", [("cut.bin", bytes(range(256)) * 400, {})])
with zipfile.ZipFile(path) as z:
    packed = z.getinfo("cut.bin").compress_size
patch_central(path, "cut.bin", packed=packed // 2)

# Compressed data damaged in the middle.
path = build("damaged.zip", [("noise.txt", b"".join(b"%d\n" % i for i in range(20000)), {})])
flip_data_byte(path, "noise.txt", 40)

# A method this library does not read (PPMd, 98).
path = build("method.zip", [("ppmd.txt", b"PPMd data " * 50, {"method": zipfile.ZIP_STORED})])
patch_central(path, "ppmd.txt", method=98)
