#!/usr/bin/env python3
"""Writes data/openme.zip, the sample archive Kelp opens on first start: a few
text files in two folders, a small picture and an archive comment. Fixed
member times and order make the archive the same on every run."""
import os
import struct
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
WHEN = (2026, 1, 15, 10, 30, 0)


def png(width, height):
    """A small RGB picture: a colour gradient with a darker frame."""
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            edge = x < 4 or y < 4 or x >= width - 4 or y >= height - 4
            r, g, b = (20, 40, 90) if edge else (40 + 200 * x // width, 90 + 140 * y // height, 200)
            row += bytes([r, g, b])
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


MEMBERS = [
    ("readme.txt", b"Welcome to Kelp.\n\nThis sample archive shows how members are listed:\n"
                   b"open folders, sort the columns, test and extract.\n"),
    ("docs/getting-started.txt", b"1. Open an archive.\n2. Select members.\n3. Extract them.\n" * 8),
    ("docs/shortcuts.txt", b"Ctrl+O  open\nCtrl+E  extract\nCtrl+T  test\nDel     delete\n"),
    ("notes/ideas.txt", b"Archives are folders you can mail.\n" * 20),
    ("pictures/kelp.png", png(96, 64)),
]

path = os.path.join(HERE, "openme.zip")
with zipfile.ZipFile(path, "w") as archive:
    archive.comment = b"Kelp sample archive - open, test and extract me."
    for folder in ("docs/", "notes/", "pictures/"):
        info = zipfile.ZipInfo(folder, WHEN)
        info.external_attr = (0o40755 << 16) | 0x10
        archive.writestr(info, b"")
    for name, data in MEMBERS:
        info = zipfile.ZipInfo(name, WHEN)
        info.external_attr = 0o100644 << 16
        method = zipfile.ZIP_STORED if name.endswith(".png") else zipfile.ZIP_DEFLATED
        archive.writestr(info, data, compress_type=method)
print(path)
