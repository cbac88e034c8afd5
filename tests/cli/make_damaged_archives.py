#!/usr/bin/env python3
"""Writes the damaged archives of the repair suite into the folder given:
every damage kind over every base archive, as BASE-DAMAGE.zip, and the
members' plain bytes under content/NAME for comparison. `done` marks the end.

    make_damaged_archives.py OUTDIR

Base archives (six members: deflated text, stored random bytes, a large
deflated file, a folder and a file in it, a stored archive):
  plain     Python's zipfile, sizes in the local headers
  stream    Python's zipfile writing to a pipe: data descriptors everywhere,
            stored data of unknown length too
  zip64     Python's zipfile with ZIP64 fields in every local header
  crypt     zip -P (traditional encryption, data descriptors)
"""
import io
import os
import random
import struct
import subprocess
import sys
import time
import zipfile

PASSWORD = "pw"
STAMP = (2020, 5, 17, 10, 20, 30)


def inner_archive():
    """A small archive stored as a member: its records must not be taken for
    the outer archive's."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        for name in ("inner-one.txt", "inner-two.txt"):
            z.writestr(zipfile.ZipInfo(name, STAMP), name.encode() * 20)
    return buf.getvalue()


def members():
    rng = random.Random(23)
    text = "".join("line %d of the first member\n" % i for i in range(800)).encode()
    return [
        ("alpha.txt", text, zipfile.ZIP_DEFLATED),
        ("beta.bin", bytes(rng.getrandbits(8) for _ in range(5000)), zipfile.ZIP_STORED),
        ("gamma.txt", b"".join(b"%d gamma\n" % (i * i) for i in range(12000)), zipfile.ZIP_DEFLATED),
        ("dir/", b"", zipfile.ZIP_STORED),
        ("dir/delta.txt", b"delta " * 50, zipfile.ZIP_DEFLATED),
        ("inner.zip", inner_archive(), zipfile.ZIP_STORED),
    ]


class Unseekable:
    """A file Python's zipfile cannot seek in: it writes data descriptors."""

    def __init__(self, f):
        self.f = f

    def write(self, b):
        return self.f.write(b)

    def flush(self):
        self.f.flush()

    def tell(self):
        raise OSError("unseekable")

    def seekable(self):
        return False


def write_python(path, stream=False, force_zip64=False):
    with open(path, "wb") as raw:
        with zipfile.ZipFile(Unseekable(raw) if stream else raw, "w") as z:
            for name, data, method in members():
                info = zipfile.ZipInfo(name, STAMP)
                info.compress_type = method
                info.external_attr = (0o40755 << 16 | 0x10) if name.endswith("/") else 0o100644 << 16
                with z.open(info, "w", force_zip64=force_zip64) as f:
                    f.write(data)


def write_crypt(path, content):
    names = [name for name, _, _ in members()]
    subprocess.run(["zip", "-q", "-P", PASSWORD, path] + names, cwd=content, check=True)


def bases(outdir):
    content = os.path.join(outdir, "content")
    for name, data, _ in members():
        target = os.path.join(content, name)
        if name.endswith("/"):
            os.makedirs(target, exist_ok=True)
        else:
            with open(target, "wb") as f:
                f.write(data)
    # Every member's time (zip -P takes the files'), which a repair keeps.
    stamp = time.mktime(STAMP + (0, 0, -1))
    for name, _, _ in members():
        os.utime(os.path.join(content, name), (stamp, stamp))
    made = {}
    for base, options in (("plain", {}), ("stream", {"stream": True}), ("zip64", {"force_zip64": True})):
        path = os.path.join(outdir, base + ".base")
        write_python(path, **options)
        made[base] = open(path, "rb").read()
    crypt = os.path.join(outdir, "crypt.base.zip")
    write_crypt(crypt, content)
    made["crypt"] = open(crypt, "rb").read()
    return made


def local_headers(data):
    """Offsets of the local headers, in order (the central directory's)."""
    end = data.rfind(b"PK\x05\x06")
    count, size, offset = struct.unpack("<HII", data[end + 10:end + 20])
    if offset == 0xFFFFFFFF:
        locator = data.rfind(b"PK\x06\x07")
        zip64_end = struct.unpack("<Q", data[locator + 8:locator + 16])[0]
        offset = struct.unpack("<Q", data[zip64_end + 48:zip64_end + 56])[0]
    offsets, at = [], offset
    while data[at:at + 4] == b"PK\x01\x02":
        n, m, k = struct.unpack("<HHH", data[at + 28:at + 34])
        offsets.append(struct.unpack("<I", data[at + 42:at + 46])[0])
        at += 46 + n + m + k
    return offsets, offset


def data_of(data, member):
    """Start of a member's data (after its local header)."""
    at = local_headers(data)[0][member]
    n, m = struct.unpack("<HH", data[at + 26:at + 30])
    return at + 30 + n + m


def stub():
    return b"MZ" + bytes(random.Random(5).getrandbits(8) for _ in range(8190))


def garbage(size):
    return bytes(random.Random(size).getrandbits(8) for _ in range(size))


# Each damage takes the archive's bytes and gives the damaged bytes.
DAMAGES = {
    "cut_data": lambda d: d[:(data_of(d, 2) + local_headers(d)[0][3]) // 2],
    "cut_central": lambda d: d[:local_headers(d)[1] + 60],
    "no_end": lambda d: d[:d.rfind(b"PK\x05\x06")],
    "central_zeroed": lambda d: d[:local_headers(d)[1]] + bytes(len(d) - local_headers(d)[1]),
    "flip_data": lambda d: d[:data_of(d, 2) + 300] + bytes(b ^ 0x5A for b in d[data_of(d, 2) + 300:data_of(d, 2) + 304]) + d[data_of(d, 2) + 304:],
    "local_sig": lambda d: d[:local_headers(d)[0][1]] + b"XX\x00\x00" + d[local_headers(d)[0][1] + 4:],
    "garbage_between": lambda d: d[:local_headers(d)[0][1]] + garbage(1000) + d[local_headers(d)[0][1]:],
    "sfx_prefix": lambda d: stub() + d,
    "sfx_and_local_sig": lambda d: stub() + DAMAGES["local_sig"](d),
}


def main():
    outdir = sys.argv[1]
    os.makedirs(os.path.join(outdir, "content"), exist_ok=True)
    done = os.path.join(outdir, "done")
    if os.path.exists(done):
        os.remove(done)
    for base, data in bases(outdir).items():
        for damage, make in DAMAGES.items():
            with open(os.path.join(outdir, "%s-%s.zip" % (base, damage)), "wb") as f:
                f.write(make(data))
    open(done, "w").close()


if __name__ == "__main__":
    main()
