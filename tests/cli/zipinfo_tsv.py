#!/usr/bin/env python3
"""Lists an archive the way `kelpzip list --tsv` does, using Python's zipfile:
name, packed size, size, method, CRC-32, DOS date-time, encrypted."""
import sys
import zipfile


def escaped(name):
    """The name as kelpzip lists it: control characters and the backslash
    as C escapes."""
    out = []
    for ch in name:
        code = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif ch in "\t\n\r":
            out.append({"\t": "\\t", "\n": "\\n", "\r": "\\r"}[ch])
        elif code < 0x20 or code == 0x7F:
            out.append("\\x%02x" % code)
        else:
            out.append(ch)
    return "".join(out)


with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        y, mo, d, h, mi, s = info.date_time
        print("\t".join([
            escaped(info.filename),
            str(info.compress_size),
            str(info.file_size),
            str(info.compress_type),
            "%08x" % info.CRC,
            "%04d-%02d-%02d %02d:%02d:%02d" % (y, mo, d, h, mi, s),
            str(info.flag_bits & 1),
        ]))
