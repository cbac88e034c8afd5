#!/usr/bin/env python3
"""Writes the seed corpus of deflate64_fuzz: raw Deflate64 streams that 7z
writes for a few small inputs (text, a run, random bytes seen again far
back) and the stream put together bit by bit in make_method_archives.py,
each behind an options byte (split point and output room).
Run from anywhere; the seeds land in fuzz/corpus/deflate64_fuzz/."""
import importlib.util
import os
import random
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "deflate64_fuzz")

spec = importlib.util.spec_from_file_location(
    "methods", os.path.join(HERE, "..", "tests", "libs", "make_method_archives.py"))
methods = importlib.util.module_from_spec(spec)
spec.loader.exec_module(methods)


def seed(name, options, stream):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes([options]) + stream)


rng = random.Random(5)
block = bytes(rng.getrandbits(8) for _ in range(300))
inputs = {
    "text": "".join("line %d\n" % i for i in range(400)).encode(),
    "run": b"z" * 70000,
    "far": block + bytes(rng.getrandbits(8) for _ in range(33000)) + block,
}
os.makedirs(OUT, exist_ok=True)
work = tempfile.mkdtemp()
for options, (name, plain) in enumerate(inputs.items()):
    _, _, packed = methods.from_7z("-mm=Deflate64", plain, work)
    seed(name, 0x35 + options, packed)
packed, _ = methods.crafted_deflate64()
seed("crafted", 0x80, packed)
seed("empty", 0x00, b"\x03\x00")
