#!/usr/bin/env python3
"""Writes the seed corpus of repair_fuzz: small archives with data descriptors
(stored and deflated data of unknown length), ZIP64 local fields, a cut-off
end, a lost central directory, bytes inserted between members and a program
in front."""
import io
import os
import zipfile

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "repair_fuzz")
os.makedirs(OUT, exist_ok=True)


class Unseekable(io.RawIOBase):
    """Python's zipfile writes data descriptors into a file it cannot seek in."""

    def __init__(self):
        self.buf = io.BytesIO()

    def writable(self):
        return True

    def write(self, b):
        return self.buf.write(b)


def archive(stream=False, zip64=False):
    out = Unseekable() if stream else io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, method in (("a.txt", b"alpha " * 40, zipfile.ZIP_DEFLATED),
                                   ("b.bin", bytes(range(200)), zipfile.ZIP_STORED),
                                   ("dir/", b"", zipfile.ZIP_STORED)):
            info = zipfile.ZipInfo(name, (2020, 5, 17, 8, 15, 30))
            info.compress_type = method
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
    return (out.buf if stream else out).getvalue()


def central(data):
    return data.find(b"PK\1\2")


seeds = {
    "descriptors_cut.zip": archive(stream=True)[:-30],
    "zip64_no_central.zip": archive(zip64=True)[:central(archive(zip64=True))],
    "inserted.zip": (lambda d: d[:60] + b"junk" * 9 + d[60:])(archive()),
    "prefixed_descriptors.zip": b"MZ" + b"\0" * 200 + archive(stream=True),
}
for name, data in seeds.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
