#!/usr/bin/env python3
"""Archives whose bytes depend only on what they hold.

    repro_archive.py tgz|zip OUT EPOCH BASEDIR NAME...

Packs the files and folders NAME... (relative to BASEDIR) into OUT: a
gzip-compressed GNU tar archive (data.arc) or a zip (the distributable).
Entries in sorted order, every time EPOCH (seconds since 1970, the last
commit's), owner and group 0 without names, modes 0755 for folders and for
files anyone may execute, 0644 for the rest; no time or name in the gzip
header, no extra fields in the zip. The same tree gives the same file
wherever and whenever it is packed.
"""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile

KIND, OUT, EPOCH, BASE = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
NAMES = sys.argv[5:]


def entries():
    """(archive name, path, is folder), sorted by archive name."""
    found = []
    for name in NAMES:
        path = os.path.join(BASE, name)
        if os.path.isdir(path):
            for root, dirs, files in os.walk(path):
                rel = os.path.relpath(root, BASE).replace(os.sep, "/")
                found.append((rel, root, True))
                for file in files:
                    found.append((rel + "/" + file, os.path.join(root, file), False))
        else:
            found.append((name.replace(os.sep, "/"), path, False))
    return sorted(found)


def mode_of(path, folder):
    return 0o755 if folder or os.stat(path).st_mode & 0o111 else 0o644


def pack_tgz():
    raw = io.BytesIO()
    with tarfile.open(fileobj=raw, mode="w", format=tarfile.GNU_FORMAT, encoding="utf-8") as tar:
        for name, path, folder in entries():
            info = tarfile.TarInfo(name + ("/" if folder else ""))
            info.type = tarfile.DIRTYPE if folder else tarfile.REGTYPE
            info.mode = mode_of(path, folder)
            info.mtime = EPOCH
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            if folder:
                tar.addfile(info)
            else:
                with open(path, "rb") as f:
                    data = f.read()
                info.size = len(data)
                tar.addfile(info, io.BytesIO(data))
    with open(OUT + ".tmp", "wb") as f:
        with gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=0, compresslevel=9) as z:
            z.write(raw.getvalue())


def pack_zip():
    # A zip holds local times without a zone: UTC, and not before 1980.
    stamp = time.gmtime(max(EPOCH, 315532800))[:6]
    with zipfile.ZipFile(OUT + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
        for name, path, folder in entries():
            if folder:
                continue
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            info.external_attr = (0o100000 | mode_of(path, False)) << 16
            with open(path, "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)


(pack_tgz if KIND == "tgz" else pack_zip)()
os.replace(OUT + ".tmp", OUT)
