#!/usr/bin/env python3
"""Writes the seed corpus of span_fuzz: a two-part set made by `kelpzip span`
and a plain archive, each behind the 16-bit length of the first part.
Run after building (it uses build/bin/kelpzip)."""
import io
import os
import struct
import subprocess
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "span_fuzz")
KELPZIP = os.path.join(HERE, "..", "build", "bin", "kelpzip")

work = tempfile.mkdtemp()
buf = io.BytesIO()
with zipfile.ZipFile(buf, "w") as z:
    z.writestr("a.txt", "alpha" * 100, compress_type=zipfile.ZIP_STORED)
    z.writestr("b.txt", "beta" * 100, compress_type=zipfile.ZIP_STORED)
    z.comment = b"seed"
source = os.path.join(work, "s.zip")
with open(source, "wb") as f:
    f.write(buf.getvalue())
subprocess.run([KELPZIP, "span", source, os.path.join(work, "p.zip"), "--volume-size", "700"],
               check=True, capture_output=True)
parts = sorted(f for f in os.listdir(work) if f.startswith("p0"))
first, second = (open(os.path.join(work, p), "rb").read() for p in parts[:2])
os.makedirs(OUT, exist_ok=True)
with open(os.path.join(OUT, "two_parts"), "wb") as f:
    f.write(struct.pack("<H", len(first)) + first + second)
with open(os.path.join(OUT, "plain"), "wb") as f:
    f.write(struct.pack("<H", 0) + buf.getvalue())
