#!/usr/bin/env python3
"""Writes the seed corpus of ani_fuzz: animated cursors with and without
rate and sequence tables, an odd-sized chunk, and an INFO list."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "ani_fuzz")


def chunk(cid, data):
    pad = b"\0" if len(data) % 2 else b""
    return cid + struct.pack("<I", len(data)) + data + pad


def icon(w, h, shade):
    # A 32-bit icon: directory, one entry, BITMAPINFOHEADER, pixels, mask.
    pixels = bytes([shade, 0, 255 - shade, 255]) * (w * h)
    mask = b"\0" * (((w + 31) // 32) * 4 * h)
    dib = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(pixels), 0, 0, 0, 0) + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(dib), 22) + dib


def ani(frames, rate=None, seq=None, disp=6, info=False):
    flags = 1 | (2 if seq else 0)
    steps = len(seq) if seq else len(frames)
    body = chunk(b"anih", struct.pack("<9I", 36, len(frames), steps, 0, 0, 32, 1, disp, flags))
    if info:
        body += chunk(b"LIST", b"INFO" + chunk(b"INAM", b"odd"))
    if rate:
        body += chunk(b"rate", b"".join(struct.pack("<I", r) for r in rate))
    if seq:
        body += chunk(b"seq ", b"".join(struct.pack("<I", s) for s in seq))
    body += chunk(b"LIST", b"fram" + b"".join(chunk(b"icon", f) for f in frames))
    return b"RIFF" + struct.pack("<I", len(body) + 4) + b"ACON" + body


def main():
    os.makedirs(OUT, exist_ok=True)
    frames = [icon(4, 4, s) for s in (0, 128, 255)]
    seeds = {
        "plain": ani(frames),
        "rates_and_sequence": ani(frames, rate=[3, 6, 9, 12], seq=[2, 0, 1, 0]),
        "info_list": ani(frames[:1], info=True, disp=0),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
