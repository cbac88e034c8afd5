#!/usr/bin/env python3
"""Writes the seed corpus of list_fuzz: small archives that reach the end-record
search, the central directory loop, comments, ZIP64 end records, programs in
front of an archive and the first part of a spanned set."""
import io
import os
import struct
import zipfile

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "list_fuzz")
os.makedirs(OUT, exist_ok=True)
WHEN = (2020, 5, 17, 8, 15, 30)


def archive(members, comment=b"", method=zipfile.ZIP_DEFLATED):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        z.comment = comment
        for name, data in members:
            z.writestr(zipfile.ZipInfo(name, WHEN), data, compress_type=method)
    return buf.getvalue()


def zip64_end(data):
    """Inserts a ZIP64 end record and locator and saturates the counts."""
    end = data.rfind(b"PK\5\6")
    count, size, offset = struct.unpack("<HII", data[end + 10:end + 20])
    record = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, count, count, size, offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, end, 1)
    eocd = bytearray(data[end:])
    eocd[8:12] = b"\xff\xff\xff\xff"
    return data[:end] + record + locator + bytes(eocd)


seeds = {
    "empty.zip": archive([]),
    "two_members.zip": archive([("a.txt", b"alpha" * 20), ("dir/", b"")], b"comment"),
    "stored_utf8.zip": archive([("caf\u00e9.txt", b"x")], method=zipfile.ZIP_STORED),
    "zip64_end.zip": zip64_end(archive([("one", b"1"), ("two", b"22")])),
    "prefixed.zip": b"MZ" + b"\0" * 300 + archive([("p.txt", b"prefixed")]),
    "first_part.zip": b"PK\7\x08" + archive([("s.txt", b"span")])[:60],
    "garbage_tail.zip": archive([("g", b"g")]) + b"\1\2\3",
}
for name, data in seeds.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
print("%d seeds in %s" % (len(seeds), OUT))
