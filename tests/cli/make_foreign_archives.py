#!/usr/bin/env python3
"""Writes the archives of the foreign-archive suite into the folder given:
archives made by zip, 7z, bsdtar and Python's zipfile with their common
switches, and archives damaged on purpose. Each case writes CASE.zip (a split
set writes a folder CASE/). The folder gets `cases.txt` (one case a line) and
`done` when everything was written.

    make_foreign_archives.py OUTDIR
"""
import binascii
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile

CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


def sh(command, cwd):
    subprocess.run(command, shell=True, cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_tree(root):
    """The files most cases pack: text, a compressible file, random bytes
    (so that damage at an offset lands in data), a folder and an empty one."""
    rng = random.Random(7)
    os.makedirs(os.path.join(root, "src/sub/deeper"), exist_ok=True)
    os.makedirs(os.path.join(root, "src/empty"), exist_ok=True)
    with open(os.path.join(root, "src/readme.txt"), "w") as f:
        f.write("read me\n")
    with open(os.path.join(root, "src/sub/numbers.txt"), "w") as f:
        f.write("".join(str(i) + "\n" for i in range(20000)))
    with open(os.path.join(root, "src/sub/deeper/blob.bin"), "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(70000)))
    with open(os.path.join(root, "src/empty.txt"), "w"):
        pass
    for path in ("src/readme.txt", "src/sub/numbers.txt", "src/sub/deeper/blob.bin", "src/empty.txt"):
        os.utime(os.path.join(root, path), (1552000000, 1552000000))


# ---- archives written by peer tools -------------------------------------

def zip_level(level):
    def build(out, work):
        sh("zip -qr -%d %s src" % (level, out), work)
    return build


for _level in (0, 1, 6, 9):
    CASES["zip_level%d" % _level] = zip_level(_level)


@case
def zip_zipcrypto(out, work):
    sh("zip -qr -P 'pa ss' %s src" % out, work)


@case
def zip_no_extra_attributes(out, work):
    sh("zip -qr -X %s src" % out, work)


@case
def zip_symlinks_kept(out, work):
    sh("rm -rf links && mkdir links && echo target > links/file.txt && "
       "ln -s file.txt links/inside && ln -s sub links/dirlink && mkdir links/sub && "
       "echo s > links/sub/s.txt && zip -qry %s links" % out, work)


@case
def zip_stdin_stream(out, work):
    # Read from standard input: ZIP64 local header, data descriptor, name "-".
    sh("zip -q - - < src/sub/numbers.txt | cat > %s" % out, work)


@case
def zip_piped_tree(out, work):
    sh("zip -qr - src | cat > %s" % out, work)


@case
def zip_non_ascii_names(out, work):
    # In this locale zip stores the UTF-8 bytes without the UTF-8 flag, so
    # they read as the OEM code page.
    sh("rm -rf intl && mkdir intl && echo cafe > intl/café.txt && echo ja > intl/日本.txt && "
       "zip -qr %s intl" % out, work)


@case
def zip_self_extractor_raw(out, work):
    sh("zip -qr inner_raw.zip src && head -c 5000 /dev/zero | tr '\\0' 'M' > stub && "
       "cat stub inner_raw.zip > %s" % out, work)


@case
def zip_self_extractor_adjusted(out, work):
    sh("zip -qr inner_adj.zip src && head -c 5000 /dev/zero | tr '\\0' 'M' > stub && "
       "cat stub inner_adj.zip > %s && zip -qA %s" % (out, out), work)


@case
def zip_split_set(out, work):
    # zip -s writes CASE.z01, CASE.z02, ... and CASE.zip last.
    folder = out[:-4]
    os.makedirs(folder)
    sh("zip -qr -s 64k %s/%s src" % (folder, os.path.basename(out)), work)
    # The peers read the set joined into one archive.
    sh("zip -q -s 0 %s/%s --out %s/joined.zip" % (folder, os.path.basename(out), folder), work)


@case
def sevenzip_raw_volumes(out, work):
    # 7z -v writes raw volumes CASE.zip.001, CASE.zip.002, ...
    folder = out[:-4]
    os.makedirs(folder)
    sh("7z a -tzip -v40k -bd %s/%s src" % (folder, os.path.basename(out)), work)
    sh("cat %s/*.zip.0* > %s/joined.zip" % (folder, folder), work)


def sevenzip(switches):
    def build(out, work):
        sh("7z a -tzip -bd %s %s src" % (switches, out), work)
    return build


CASES["sevenzip_deflate"] = sevenzip("-mm=Deflate")
CASES["sevenzip_bzip2"] = sevenzip("-mm=BZip2")
CASES["sevenzip_lzma"] = sevenzip("-mm=LZMA")
CASES["sevenzip_deflate_max"] = sevenzip("-mm=Deflate -mx=9")
CASES["sevenzip_copy"] = sevenzip("-mm=Copy")
CASES["sevenzip_deflate64"] = sevenzip("-mm=Deflate64")
CASES["sevenzip_zipcrypto"] = sevenzip("-mm=Deflate -mem=ZipCrypto '-ppa ss'")


@case
def sevenzip_utf8_flag(out, work):
    sh("rm -rf intl7 && mkdir intl7 && echo cafe > intl7/café.txt && echo ja > intl7/日本.txt && "
       "7z a -tzip -mcu=on -bd %s intl7" % out, work)


def sevenzip_unsupported(method):
    # One member in the method named, one stored member beside it.
    def build(out, work):
        sh("7z a -tzip -bd -mm=%s %s src/sub/numbers.txt && "
           "7z a -tzip -bd -mm=Copy %s src/readme.txt" % (method, out, out), work)
    return build


CASES["sevenzip_ppmd"] = sevenzip_unsupported("PPMd")


def method_of_old_tools(method):
    """numbers.txt marked with a method of the oldest tools (1 shrink, 2-5
    reduce, 6 implode, 7 tokenize); no decoder may be handed its data."""
    def build(out, work):
        layout = Layout(base_archive(work))
        both(poke(central_of("src/sub/numbers.txt", 10), "<H", method),
             poke(local_of("src/sub/numbers.txt", 8), "<H", method))(layout)
        with open(out, "wb") as f:
            f.write(layout.data)
    return build


for _method in range(1, 8):
    CASES["method_%d" % _method] = method_of_old_tools(_method)


@case
def bsdtar_default(out, work):
    sh("bsdtar --format zip -cf %s src" % out, work)


@case
def bsdtar_stored(out, work):
    sh("bsdtar --format zip --options zip:compression=store -cf %s src" % out, work)


def python_members(z, compression):
    z.writestr(zipfile.ZipInfo("py/text.txt", (2020, 5, 6, 7, 8, 10)), "python " * 3000,
               compress_type=compression)
    z.writestr(zipfile.ZipInfo("py/bytes.bin", (2021, 1, 1, 0, 0, 0)), bytes(range(256)) * 40,
               compress_type=compression)
    z.writestr(zipfile.ZipInfo("py/folder/", (2021, 1, 1, 0, 0, 0)), "")


def python_method(compression):
    def build(out, work):
        with zipfile.ZipFile(out, "w") as z:
            python_members(z, compression)
    return build


CASES["python_stored"] = python_method(zipfile.ZIP_STORED)
CASES["python_deflated"] = python_method(zipfile.ZIP_DEFLATED)
CASES["python_bzip2"] = python_method(zipfile.ZIP_BZIP2)
CASES["python_lzma"] = python_method(zipfile.ZIP_LZMA)


@case
def python_force_zip64(out, work):
    with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_DEFLATED) as z:
        for name, data in (("z64/a.txt", b"forced " * 500), ("z64/b.bin", bytes(range(256)))):
            with z.open(zipfile.ZipInfo(name, (2022, 2, 2, 2, 2, 2)), "w", force_zip64=True) as f:
                f.write(data)


class NonSeekable(io.RawIOBase):
    """A write-only stream without tell or seek, like a pipe."""

    def __init__(self, target):
        self.target = target

    def writable(self):
        return True

    def write(self, data):
        self.target.write(data)
        return len(data)


@case
def python_unseekable_stream(out, work):
    with open(out, "wb") as raw:
        with zipfile.ZipFile(NonSeekable(raw), "w", compression=zipfile.ZIP_DEFLATED) as z:
            python_members(z, zipfile.ZIP_DEFLATED)


@case
def python_utf8_names(out, work):
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("naïve/café.txt", "bonjour " * 50, compress_type=zipfile.ZIP_DEFLATED)
        z.writestr("日本/テキスト.txt", "konnichiwa")
        z.writestr(zipfile.ZipInfo("empty folder/", (2001, 2, 3, 4, 5, 6)), "")


@case
def python_edge_dates(out, work):
    # The last even second of a century, a leap day, and a comment.
    with zipfile.ZipFile(out, "w") as z:
        z.comment = b"python comment"
        info = zipfile.ZipInfo("stored.bin", (1999, 12, 31, 23, 59, 58))
        z.writestr(info, bytes(range(256)) * 10, compress_type=zipfile.ZIP_STORED)
        info = zipfile.ZipInfo("deflated.txt", (2024, 2, 29, 12, 0, 0))
        z.writestr(info, "abc" * 1000, compress_type=zipfile.ZIP_DEFLATED)


def unicode_path_extra(name_utf8, header_name, good_crc=True):
    crc = binascii.crc32(header_name) ^ (0 if good_crc else 0xFFFFFFFF)
    body = struct.pack("<BI", 1, crc) + name_utf8.encode()
    return struct.pack("<HH", 0x7075, len(body)) + body


def python_unicode_path(good_crc):
    # The header name is a CP437 rendering, the real name is in the
    # Unicode path field (0x7075); a field whose CRC does not match the
    # header name is stale and ignored.
    def build(out, work):
        with zipfile.ZipFile(out, "w") as z:
            for real, stored in (("ünï/cödé.txt", "unx/code.txt"), ("plain.txt", None)):
                header = (stored or real).encode()
                info = zipfile.ZipInfo((stored or real), (2023, 3, 4, 5, 6, 8))
                if stored:
                    info.extra = unicode_path_extra(real, header, good_crc)
                z.writestr(info, "text of " + real)
    return build


CASES["python_unicode_path_field"] = python_unicode_path(True)
CASES["python_unicode_path_stale"] = python_unicode_path(False)


@case
def python_many_members(out, work):
    # 65 536 members: more than the end record counts, so ZIP64 end records.
    with zipfile.ZipFile(out, "w") as z:
        for i in range(65536):
            z.writestr(zipfile.ZipInfo("m%02d/%05d" % (i // 4096, i), (2020, 1, 1, 0, 0, 0)),
                       b"%d" % i)


@case
def python_wrapped_count(out, work):
    # 65 537 members as writers without ZIP64 records leave them: the ZIP64
    # end record and locator dropped, the 16-bit counts wrapped round to 1.
    with zipfile.ZipFile(out, "w") as z:
        for i in range(65537):
            z.writestr(zipfile.ZipInfo("w%02d/%05d" % (i // 4096, i), (2020, 1, 1, 0, 0, 0)),
                       b"%d" % i)
    with open(out, "rb") as f:
        data = f.read()
    eocd = data.rfind(b"PK\x05\x06")
    size, offset = struct.unpack("<II", data[eocd + 12:eocd + 20])
    start = data.rfind(b"PK\x06\x06", 0, eocd)
    with open(out, "wb") as f:
        f.write(data[:start] + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, size, offset, 0))


# ---- damaged archives ----------------------------------------------------

class Layout:
    """Where the records of an archive lie, read with zipfile."""

    def __init__(self, data):
        self.data = bytearray(data)
        with zipfile.ZipFile(io.BytesIO(bytes(data))) as z:
            self.infos = z.infolist()
            self.central = z.start_dir
        self.eocd = data.rfind(b"PK\x05\x06")

    def local_data(self, info):
        name_len, extra_len = struct.unpack_from("<HH", self.data, info.header_offset + 26)
        return info.header_offset + 30 + name_len + extra_len

    def central_entries(self):
        at, out = self.central, []
        while self.data[at:at + 4] == b"PK\x01\x02":
            n, e, c = struct.unpack_from("<HHH", self.data, at + 28)
            out.append(at)
            at += 46 + n + e + c
        return out


def base_archive(work, switches="-q"):
    path = os.path.join(work, "base.zip")
    if os.path.exists(path):
        os.remove(path)
    sh("zip -r %s %s src" % (switches, path), work)
    with open(path, "rb") as f:
        return f.read()


def damaged(edit, source=base_archive):
    def build(out, work):
        layout = Layout(source(work))
        data = edit(layout)
        with open(out, "wb") as f:
            f.write(data if data is not None else layout.data)
    return build


def member(layout, name):
    return next(i for i in layout.infos if i.filename == name)


def cut_at(position):
    return lambda l: bytes(l.data[:position(l)])


# Truncation inside each kind of record.
CASES["cut_in_local_header"] = damaged(cut_at(lambda l: 12))
CASES["cut_in_member_data"] = damaged(cut_at(lambda l: l.local_data(member(l, "src/sub/deeper/blob.bin")) + 999))
CASES["cut_in_central_directory"] = damaged(cut_at(lambda l: l.central + 60))
CASES["cut_in_end_record"] = damaged(cut_at(lambda l: l.eocd + 15))


def piped_archive(work):
    sh("zip -qr - src > piped_base.zip", work)
    with open(os.path.join(work, "piped_base.zip"), "rb") as f:
        return f.read()


def zip64_stream_archive(work):
    sh("zip -q - src/sub/numbers.txt src/readme.txt | cat > z64_base.zip", work)
    with open(os.path.join(work, "z64_base.zip"), "rb") as f:
        return f.read()


def data_descriptor_end(layout):
    info = member(layout, "src/readme.txt")
    return layout.local_data(info) + info.compress_size + 8


CASES["cut_in_data_descriptor"] = damaged(cut_at(data_descriptor_end), piped_archive)
CASES["cut_in_zip64_end_record"] = damaged(
    cut_at(lambda l: l.data.rfind(b"PK\x06\x06") + 30), zip64_stream_archive)


@case
def comment_cut_short(out, work):
    data = base_archive(work)
    sh("echo 'a comment long enough to cut' | zip -qz base.zip", work)
    with open(os.path.join(work, "base.zip"), "rb") as f:
        data = f.read()
    with open(out, "wb") as f:
        f.write(data[:-10])


def poke(offset_of, fmt, value):
    def edit(layout):
        struct.pack_into(fmt, layout.data, offset_of(layout), value)
    return edit


def central_of(name, field_offset):
    def at(layout):
        index = [i.filename for i in layout.infos].index(name)
        return layout.central_entries()[index] + field_offset
    return at


def local_of(name, field_offset):
    return lambda l: member(l, name).header_offset + field_offset


def both(*edits):
    def edit(layout):
        for e in edits:
            e(layout)
    return edit


# Values in the records that do not match the data.
CASES["crc_lie"] = damaged(both(poke(central_of("src/sub/numbers.txt", 16), "<I", 0x12345678),
                                poke(local_of("src/sub/numbers.txt", 14), "<I", 0x12345678)))
# A CRC field of 0 is a CRC like any other: the data does not match it.
CASES["crc_zero"] = damaged(both(poke(central_of("src/sub/numbers.txt", 16), "<I", 0),
                                 poke(local_of("src/sub/numbers.txt", 14), "<I", 0)))


def size_lie(name, field, value, source=base_archive):
    """The same false size in the central and the local header (field: 20
    packed size, 24 size in the central header)."""
    return damaged(both(poke(central_of(name, field), "<I", value),
                        poke(local_of(name, field - 2), "<I", value)), source)


CASES["size_lie_larger"] = size_lie("src/sub/numbers.txt", 24, 200000)
CASES["size_lie_smaller"] = size_lie("src/sub/numbers.txt", 24, 1000)
CASES["size_lie_huge"] = size_lie("src/sub/numbers.txt", 24, 0xFFFFFFF0)
CASES["packed_size_past_end"] = size_lie("src/readme.txt", 20, 0x7FFFFFFF)
CASES["stored_size_lie"] = size_lie("src/readme.txt", 24, 50, lambda w: base_archive(w, "-q0"))


def sevenzip_archive(method):
    """One member, numbers.txt, in the method named."""
    def source(work):
        path = os.path.join(work, "base_%s.zip" % method)
        if not os.path.exists(path):
            sh("7z a -tzip -bd -mm=%s %s src/sub/numbers.txt" % (method, path), work)
        with open(path, "rb") as f:
            return f.read()
    return source


def overwrite_data(name, at, count):
    def edit(layout):
        start = layout.local_data(member(layout, name)) + at
        layout.data[start:start + count] = b"\xff" * count
    return edit


CASES["deflate_data_damaged"] = damaged(overwrite_data("src/sub/numbers.txt", 40, 20))
for _method in ("Deflate64", "BZip2", "LZMA"):
    CASES["%s_data_damaged" % _method.lower()] = damaged(
        overwrite_data("src/sub/numbers.txt", 40, 20), sevenzip_archive(_method))
    CASES["%s_size_lie_smaller" % _method.lower()] = size_lie(
        "src/sub/numbers.txt", 24, 1000, sevenzip_archive(_method))
# The data cut short by a packed size smaller than the data.
CASES["deflate64_packed_size_smaller"] = size_lie(
    "src/sub/numbers.txt", 20, 5000, sevenzip_archive("Deflate64"))

CASES["local_header_overwritten"] = damaged(poke(local_of("src/readme.txt", 0), "<I", 0x41414141))

# Counts and offsets pointing outside the file.
CASES["central_offset_past_end"] = damaged(poke(lambda l: l.eocd + 16, "<I", 0x7FFFFF00))
CASES["central_size_past_start"] = damaged(poke(lambda l: l.eocd + 12, "<I", 0x7FFFFF00))
CASES["local_offset_past_end"] = damaged(poke(central_of("src/readme.txt", 42), "<I", 0x7FFFFF00))
CASES["entry_count_higher"] = damaged(both(poke(lambda l: l.eocd + 8, "<H", 60),
                                           poke(lambda l: l.eocd + 10, "<H", 60)))
CASES["entry_count_lower"] = damaged(both(poke(lambda l: l.eocd + 8, "<H", 2),
                                          poke(lambda l: l.eocd + 10, "<H", 2)))


def write_raw_archive(members):
    """An archive from (name, local offset override or None, stored data)
    rows: central entries may point at another member's local header."""
    body, central, offsets = bytearray(), bytearray(), []
    for name, data in members["locals"]:
        offsets.append(len(body))
        crc = binascii.crc32(data)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, crc, len(data),
                            len(data), len(name), 0) + name + data
    for name, local_index, data in members["central"]:
        crc = binascii.crc32(data)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x0314, 20, 0, 0, 0, 0x21, crc,
                               len(data), len(data), len(name), 0, 0, 0, 0, 0o100644 << 16,
                               offsets[local_index] + members.get("shift", 0)) + name
    count = len(members["central"])
    eocd = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), len(body), 0)
    return bytes(body + central + eocd)


@case
def overlap_same_local_header(out, work):
    # Many central entries share one local header and its data.
    data = b"A" * 100000
    rows = {"locals": [(b"kernel", data)],
            "central": [(b"copy%02d" % i, 0, data) for i in range(20)]}
    with open(out, "wb") as f:
        f.write(write_raw_archive(rows))


@case
def directory_out_of_order(out, work):
    # A sound archive whose directory lists the members against the order
    # of their data: no member overlaps another.
    locals_ = [(b"first.txt", b"1" * 300), (b"second.txt", b"2" * 200), (b"third.txt", b"3" * 100)]
    rows = {"locals": locals_, "central": [(name, i, data) for i, (name, data) in reversed(list(enumerate(locals_)))]}
    with open(out, "wb") as f:
        f.write(write_raw_archive(rows))


@case
def overlap_nested_members(out, work):
    # Each member's data holds the next member's local header: the ranges
    # of the entries overlap without sharing a start.
    inner = b"B" * 5000
    first_name, second_name = b"outer", b"inner"
    second_local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21,
                               binascii.crc32(inner), len(inner), len(inner),
                               len(second_name), 0) + second_name + inner
    rows = {"locals": [(first_name, second_local)],
            "central": [(first_name, 0, second_local)]}
    archive = bytearray(write_raw_archive(rows))
    # Add a central entry for the inner member, 30 + 5 bytes into the outer one.
    eocd_at = archive.rfind(b"PK\x05\x06")
    central_at = struct.unpack_from("<I", archive, eocd_at + 16)[0]
    entry = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x0314, 20, 0, 0, 0, 0x21,
                        binascii.crc32(inner), len(inner), len(inner), len(second_name), 0, 0,
                        0, 0, 0o100644 << 16, 30 + len(first_name)) + second_name
    central = archive[central_at:eocd_at] + entry
    eocd = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(central), central_at, 0)
    with open(out, "wb") as f:
        f.write(bytes(archive[:central_at]) + bytes(central) + eocd)


# ---- names that leave the target folder -----------------------------------

def hostile(names):
    def build(out, work):
        with zipfile.ZipFile(out, "w") as z:
            for name in names:
                info = zipfile.ZipInfo("x", (2020, 1, 1, 0, 0, 0))
                info.filename = name  # kept exactly: ZipInfo would clean it
                z.writestr(info, "hostile " + name)
            z.writestr("safe.txt", "safe")
    return build


CASES["name_dot_dot"] = hostile(["../escaped.txt", "a/../../escaped2.txt"])
CASES["name_absolute"] = hostile(["/tmp/kelp-foreign-absolute.txt"])
CASES["name_backslashes"] = hostile(["..\\escaped.txt", "a\\..\\..\\escaped2.txt"])
CASES["name_control_character"] = hostile(["bad\nname.txt"])


@case
def link_pointing_out(out, work):
    # A stored link to the parent folder, then a member written through it.
    with zipfile.ZipFile(out, "w") as z:
        link = zipfile.ZipInfo("up", (2020, 1, 1, 0, 0, 0))
        link.create_system = 3
        link.external_attr = 0o120777 << 16
        z.writestr(link, "..")
        z.writestr("up/escaped.txt", "through the link")
        z.writestr("safe.txt", "safe")


def main():
    out = os.path.abspath(sys.argv[1])
    shutil.rmtree(out, ignore_errors=True)
    work = os.path.join(out, "work")
    os.makedirs(work)
    make_tree(work)
    for name, build in CASES.items():
        build(os.path.join(out, name + ".zip"), work)
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("".join(name + "\n" for name in CASES))
    with open(os.path.join(out, "done"), "w"):
        pass


if __name__ == "__main__":
    main()
