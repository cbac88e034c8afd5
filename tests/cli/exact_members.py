#!/usr/bin/env python3
"""Prints, one a line in name order, the members of ARCHIVE whose bytes and
time equal those of the file of the same name under CONTENT (a folder
member: no bytes).
Exit 1 when a member cannot be read or differs, unless --lenient (for
archives of other tools, where only the matching members count).

    exact_members.py ARCHIVE CONTENT [--lenient]
"""
import os
import sys
import time
import zipfile

PASSWORD = b"pw"


def main():
    archive, content = sys.argv[1:3]
    lenient = "--lenient" in sys.argv[3:]
    good, bad = [], []
    try:
        z = zipfile.ZipFile(archive)
        infos = z.infolist()
    except (zipfile.BadZipFile, OSError) as e:
        print("unreadable: %s" % e, file=sys.stderr)
        return 0 if lenient else 1
    for info in infos:
        path = os.path.join(content, info.filename)
        expected = b"" if info.filename.endswith("/") else (
            open(path, "rb").read() if os.path.isfile(path) else None)
        stamp = time.localtime(os.path.getmtime(path)) if os.path.exists(path) else None
        try:
            same = z.read(info, pwd=PASSWORD) == expected and stamp is not None and \
                info.date_time == tuple(stamp[:5]) + (stamp[5] // 2 * 2,)
        except Exception:
            same = False
        (good if same else bad).append(info.filename)
    print("".join(name + "\n" for name in sorted(good)), end="")
    if bad:
        print("differ: " + " ".join(bad), file=sys.stderr)
    return 1 if bad and not lenient else 0


if __name__ == "__main__":
    sys.exit(main())
