#!/usr/bin/env python3
"""Writes the seed corpus of the decompression library's fuzz targets.

local_header_fuzz: a member as it stands in front of the central directory
(local header, name, extra field, data). member_data_fuzz: an options byte,
the stated uncompressed size (3 bytes), the CRC (4 bytes), the stored data
(options: bit 0 deflate, bit 1 encrypted, bit 2 descriptor, bits 3-5 bzip2,
LZMA, xz or Zstandard, bit 6 the LZMA end marker flag, bit 7 AES).
Run from anywhere; the seeds land in fuzz/corpus/<target>/.
"""
import bz2
import hashlib
import hmac
import io
import lzma
import os
import shutil
import struct
import subprocess
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def seed(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def member_bytes(name, data, method, flags=0):
    """The bytes of a one-member archive in front of its central directory."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        info = zipfile.ZipInfo(name, date_time=(2021, 3, 4, 5, 6, 8))
        info.compress_type = method
        info.extra = struct.pack("<HHBI", 0x5455, 5, 1, 1600000000)
        z.writestr(info, data)
    raw = buf.getvalue()
    with zipfile.ZipFile(io.BytesIO(raw)) as z:
        end = z.infolist()[0].header_offset
    central = raw.find(b"PK\x01\x02")
    head = bytearray(raw[end:central])
    struct.pack_into("<H", head, 6, struct.unpack_from("<H", head, 6)[0] | flags)
    return bytes(head)


def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def encrypt(plain, password, check):
    """Traditional encryption with a fixed header, the check byte last."""
    table = [0] * 256
    for i in range(256):
        c = i
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table[i] = c
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(b):
        keys[0] = table[(keys[0] ^ b) & 0xFF] ^ (keys[0] >> 8)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = table[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8)

    for ch in password.encode():
        update(ch)
    out = bytearray()
    for b in bytes(11) + bytes([check]) + plain:
        t = (keys[2] | 2) & 0xFFFF
        out.append(b ^ (((t * (t ^ 1)) >> 8) & 0xFF))
        update(b)
    return bytes(out)


text = b"The quick brown fox jumps over the lazy dog.\n" * 20
seed("local_header_fuzz", "stored", member_bytes("dir/stored.txt", text, zipfile.ZIP_STORED))
seed("local_header_fuzz", "deflated", member_bytes("deflated.txt", text, zipfile.ZIP_DEFLATED))
seed("local_header_fuzz", "descriptor", member_bytes("a/b/c.txt", text, zipfile.ZIP_DEFLATED, 8))
seed("local_header_fuzz", "dotdot", member_bytes("../up.txt", b"up\n", zipfile.ZIP_STORED))
seed("local_header_fuzz", "folder", member_bytes("folder/", b"", zipfile.ZIP_STORED))

crc = zlib.crc32(text)


def data_seed(name, options, payload, stated_crc=crc):
    seed("member_data_fuzz", name,
         bytes([options]) + struct.pack("<I", len(text))[:3] + struct.pack("<I", stated_crc) + payload)


def aes_payload(data, password):
    """AES-256 framing for the password: salt, verifier, the bytes as they
    stand in place of encrypted ones, and their authentication code."""
    salt = bytes(range(16))
    keys = hashlib.pbkdf2_hmac("sha1", password.encode(), salt, 1000, 66)
    return salt + keys[64:] + data + hmac.new(keys[32:64], data, "sha1").digest()[:10]


data_seed("stored", 0, text)
data_seed("deflated", 1, deflate(text))
data_seed("encrypted_stored", 2, encrypt(text, "pw", crc >> 24))
data_seed("encrypted_deflated", 3, encrypt(deflate(text), "pw", crc >> 24))
data_seed("encrypted_descriptor", 7, encrypt(deflate(text), "pw", 0x6B))
# AE-2 with 256-bit keys: the top byte of the CRC field chooses the strength.
data_seed("aes_stored", 0x80, aes_payload(text, "pw"), 0x02000000)
data_seed("bzip2", 1 << 3, bz2.compress(text))
lzma_packer = zipfile.LZMACompressor()  # ZIP's LZMA layout, with an end marker
data_seed("lzma_end_marker", 2 << 3 | 0x40, lzma_packer.compress(text) + lzma_packer.flush())
data_seed("xz", 3 << 3, lzma.compress(text, format=lzma.FORMAT_XZ))
if shutil.which("zstd"):
    data_seed("zstd", 4 << 3, subprocess.run(["zstd", "-q", "-c"], input=text, check=True,
                                            stdout=subprocess.PIPE).stdout)
