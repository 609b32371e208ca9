#!/usr/bin/env python3
"""Writes a zip archive of one directory whose bytes depend only on the files: entries in
name order, every timestamp SOURCE_DATE_EPOCH, Unix modes kept, owners left out.
Usage: reproducible_zip.py BASE TOP OUTPUT (archives BASE/TOP as TOP/...)"""
import os
import sys
import time
import zipfile


def main(base, top, output):
    stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip starts in 1980
    paths = []
    for root, dirs, files in os.walk(os.path.join(base, top)):
        paths += [os.path.join(root, d) for d in dirs] + [os.path.join(root, f) for f in files]
    paths.append(os.path.join(base, top))
    with zipfile.ZipFile(output, "w") as archive:
        for path in sorted(paths, key=lambda p: os.path.relpath(p, base)):
            name = os.path.relpath(path, base).replace(os.sep, "/")
            mode = os.stat(path).st_mode
            if os.path.isdir(path):
                info = zipfile.ZipInfo(name + "/", stamp)
                info.external_attr = (mode & 0xFFFF) << 16 | 0x10
                archive.writestr(info, b"")
                continue
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3
            info.external_attr = (mode & 0xFFFF) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)


if __name__ == "__main__":
    main(*sys.argv[1:])
