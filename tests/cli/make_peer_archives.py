#!/usr/bin/env python3
"""Writes archives with Python's zipfile into the folder given: UTF-8 names,
stored and deflated members, an encrypted-flag member is not possible here."""
import os
import sys
import zipfile

out = sys.argv[1]
with zipfile.ZipFile(os.path.join(out, "py_utf8.zip"), "w") as z:
    z.writestr("naïve/café.txt", "bonjour " * 50, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr("日本/テキスト.txt", "konnichiwa", compress_type=zipfile.ZIP_STORED)
    z.writestr(zipfile.ZipInfo("empty folder/", (2001, 2, 3, 4, 5, 6)), "")
with zipfile.ZipFile(os.path.join(out, "py_mixed.zip"), "w") as z:
    z.comment = b"python comment"
    info = zipfile.ZipInfo("stored.bin", (1999, 12, 31, 23, 59, 58))
    z.writestr(info, bytes(range(256)) * 10, compress_type=zipfile.ZIP_STORED)
    info = zipfile.ZipInfo("deflated.txt", (2024, 2, 29, 12, 0, 0))
    z.writestr(info, "abc" * 1000, compress_type=zipfile.ZIP_DEFLATED)
