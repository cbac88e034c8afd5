#!/usr/bin/env python3
"""Writes one-member archives in the methods that libraries decode into the
folder given, with the member's plain bytes as plain.bin beside them.

For each of deflate64 (7z), bzip2, lzma_python and lzma_7z (both flag an end marker),
lzma_sized (Python's data without the flag: the stated size ends it, the
marker after it is accepted), xz and zstd (when the zstd program is
present) it writes
METHOD.zip (sound), METHOD_damaged.zip (bytes in the middle overwritten),
METHOD_truncated.zip (the data cut in half, sizes to match) and
METHOD_size_lie.zip (half the size stated).

It also writes deflate64_crafted.zip, a Deflate64 stream put together bit
by bit so that it certainly holds the longest match (length code 285 with
all 16 extra bits set) and distance codes 30 and 31, with its plain bytes
as deflate64_crafted.bin.

    make_method_archives.py OUTDIR
"""
import binascii
import io
import lzma
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile


def plain_bytes():
    rng = random.Random(12)
    text = "".join("line %d of the member, %s\n" % (i, "x" * (i % 37)) for i in range(30000))
    noise = bytes(rng.getrandbits(8) for _ in range(50000))
    # A block seen again 35 000 and 55 000 bytes later: matches that only
    # Deflate64's distance codes 30 and 31 reach. Then a long run.
    block = bytes(rng.getrandbits(8) for _ in range(10000))
    gap1 = bytes(rng.getrandbits(8) for _ in range(25000))
    gap2 = bytes(rng.getrandbits(8) for _ in range(45000))
    return text.encode() + noise + block + gap1 + block + gap2 + block + b"\0" * 300000


class BitWriter:
    """Deflate's bit order: values first bit first, Huffman codes reversed."""

    def __init__(self):
        self.bits = []

    def value(self, v, n):
        self.bits += [(v >> i) & 1 for i in range(n)]

    def code(self, c, n):
        self.bits += [(c >> (n - 1 - i)) & 1 for i in range(n)]

    def fixed_literal(self, symbol):
        if symbol < 144:
            self.code(0x30 + symbol, 8)
        elif symbol < 256:
            self.code(0x190 + symbol - 144, 9)
        elif symbol < 280:
            self.code(symbol - 256, 7)
        else:
            self.code(0xC0 + symbol - 280, 8)

    def data(self):
        self.bits += [0] * (-len(self.bits) % 8)
        return bytes(sum(b << i for i, b in enumerate(self.bits[k:k + 8]))
                     for k in range(0, len(self.bits), 8))


def crafted_deflate64():
    """(packed, plain): one final block with the fixed codes."""
    w = BitWriter()
    w.value(1, 1)
    w.value(1, 2)
    w.fixed_literal(ord("a"))
    w.fixed_literal(285)  # length 3 + 65535 from distance 1
    w.value(65535, 16)
    w.code(0, 5)
    for c in b"bcd":
        w.fixed_literal(c)
    w.fixed_literal(257)  # length 3 from distance 49153 + 100 (code 31)
    w.code(31, 5)
    w.value(100, 14)
    w.fixed_literal(258)  # length 4 from distance 32769 + 5 (code 30)
    w.code(30, 5)
    w.value(5, 14)
    w.fixed_literal(256)
    plain = b"a" * 65539 + b"bcd" + b"aaa" + b"aaaa"
    return w.data(), plain


def packed_of(archive):
    """(method, flags, packed bytes) of an archive's only member."""
    with zipfile.ZipFile(io.BytesIO(archive)) as z:
        info = z.infolist()[0]
    at = info.header_offset
    flags, method = struct.unpack_from("<HH", archive, at + 6)
    name_len, extra_len = struct.unpack_from("<HH", archive, at + 26)
    start = at + 30 + name_len + extra_len
    return method, flags & 0x0002, archive[start:start + info.compress_size]


def from_python(compression, plain):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        z.writestr("data.txt", plain, compress_type=compression)
    return packed_of(buf.getvalue())


def from_7z(switch, plain, work):
    source = os.path.join(work, "data.txt")
    target = os.path.join(work, "7z.zip")
    with open(source, "wb") as f:
        f.write(plain)
    if os.path.exists(target):
        os.remove(target)
    subprocess.run(["7z", "a", "-tzip", "-bd", switch, target, source], check=True,
                   stdout=subprocess.DEVNULL)
    with open(target, "rb") as f:
        return packed_of(f.read())


def from_zstd(plain, work):
    source = os.path.join(work, "data.txt")
    with open(source, "wb") as f:
        f.write(plain)
    out = subprocess.run(["zstd", "-q", "-c", source], check=True, stdout=subprocess.PIPE)
    return 93, 0, out.stdout


def write_archive(path, method, flags, crc, packed, size):
    name = b"data.txt"
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 63, flags, method, 0, 0x21, crc,
                        len(packed), size, len(name), 0) + name
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x033F, 63, flags, method, 0, 0x21,
                          crc, len(packed), size, len(name), 0, 0, 0, 0, 0o100644 << 16, 0) + name
    body = local + packed
    eocd = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(body), 0)
    with open(path, "wb") as f:
        f.write(body + central + eocd)


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    work = os.path.join(out, "work")
    os.makedirs(work)
    plain = plain_bytes()
    with open(os.path.join(out, "plain.bin"), "wb") as f:
        f.write(plain)
    crc = binascii.crc32(plain)
    members = {
        "deflate64": from_7z("-mm=Deflate64", plain, work),
        "bzip2": from_python(zipfile.ZIP_BZIP2, plain),
        "lzma_python": from_python(zipfile.ZIP_LZMA, plain),
        "lzma_7z": from_7z("-mm=LZMA", plain, work),
        "xz": (95, 0, lzma.compress(plain, format=lzma.FORMAT_XZ)),
    }
    method, _, packed = members["lzma_python"]
    members["lzma_sized"] = (method, 0, packed)
    if shutil.which("zstd"):
        members["zstd"] = from_zstd(plain, work)
    for name, (method, flags, packed) in members.items():
        write_archive(os.path.join(out, name + ".zip"), method, flags, crc, packed, len(plain))
        middle = len(packed) // 2
        damaged = packed[:middle] + b"\x55" * 16 + packed[middle + 16:]
        write_archive(os.path.join(out, name + "_damaged.zip"), method, flags, crc, damaged,
                      len(plain))
        write_archive(os.path.join(out, name + "_truncated.zip"), method, flags, crc,
                      packed[:middle], len(plain))
        write_archive(os.path.join(out, name + "_size_lie.zip"), method, flags, crc, packed,
                      len(plain) // 2)
    packed, crafted = crafted_deflate64()
    write_archive(os.path.join(out, "deflate64_crafted.zip"), 9, 0, binascii.crc32(crafted),
                  packed, len(crafted))
    with open(os.path.join(out, "deflate64_crafted.bin"), "wb") as f:
        f.write(crafted)


if __name__ == "__main__":
    main()
