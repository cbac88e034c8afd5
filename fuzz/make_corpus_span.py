#!/usr/bin/env python3
"""Writes the seed corpus of span_fuzz: sets made by `kelpzip span` and by
`zip -s`, a set of raw volumes and a plain archive, each in the target's
input form (naming and part count, 3-byte part lengths, the parts).
Run after building (it uses build/bin/kelpzip)."""
import io
import os
import subprocess
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "span_fuzz")
KELPZIP = os.path.join(HERE, "..", "build", "bin", "kelpzip")


def seed(name, form, parts):
    head = bytes([form + 3 * (len(parts) - 1)])
    for p in parts[:-1]:
        head += len(p).to_bytes(3, "little")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + b"".join(parts))


def read(path):
    with open(path, "rb") as f:
        return f.read()


work = tempfile.mkdtemp()
buf = io.BytesIO()
with zipfile.ZipFile(buf, "w") as z:
    z.writestr("a.txt", "alpha" * 100, compress_type=zipfile.ZIP_STORED)
    z.writestr("A.TXT", "ALPHA" * 90, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr("b.txt", "beta" * 100, compress_type=zipfile.ZIP_STORED)
    z.comment = b"seed"
plain = buf.getvalue()
source = os.path.join(work, "s.zip")
with open(source, "wb") as f:
    f.write(plain)
subprocess.run([KELPZIP, "span", source, os.path.join(work, "p.zip"), "--volume-size", "500"],
               check=True, capture_output=True)
kelp_parts = [read(os.path.join(work, p)) for p in sorted(os.listdir(work)) if p.startswith("p0")]

os.makedirs(OUT, exist_ok=True)
for old in os.listdir(OUT):
    os.remove(os.path.join(OUT, old))
seed("kelp_parts", 0, kelp_parts)
seed("split_names", 1, kelp_parts)  # the same layout under the .z01 names
seed("raw_volumes", 2, [plain[:300], plain[300:700], plain[700:]])
seed("plain", 0, [plain])

# The command-line tool's own split set (its smallest part is 64 KiB).
tree = os.path.join(work, "tree")
os.makedirs(tree)
with open(os.path.join(tree, "noise.bin"), "wb") as f:
    f.write(os.urandom(70000))
subprocess.run(["zip", "-qr", "-s", "64k", os.path.join(work, "zs.zip"), "tree"], cwd=work, check=True)
seed("zip_split", 1, [read(os.path.join(work, "zs.z01")), read(os.path.join(work, "zs.zip"))])
