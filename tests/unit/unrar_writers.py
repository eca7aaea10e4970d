#!/usr/bin/env python3
"""Archives as other people's tools write them, and what GNU tar extracts
from each, for the extraction program's tests.

    unrar_writers.py TAR OUTDIR

OUTDIR/archives/NAME    the archive
OUTDIR/expected/NAME/   GNU tar's extraction of it, minus the entries the
                        extraction program refuses
OUTDIR/cases.txt        one line per archive, tab-separated: NAME, the exit
                        code expected of the extraction program, then the
                        names it does not extract (refused, or lost to damage)
"""
import io
import os
import shutil
import subprocess
import sys
import tarfile

TAR, OUT = sys.argv[1], sys.argv[2]
SRC = os.path.join(OUT, "src")
ARCHIVES = os.path.join(OUT, "archives")
EXPECTED = os.path.join(OUT, "expected")
MTIME = 1600000000


def write(path, data=b"", size=None, pieces=()):
    """A file of size bytes holding data at its start and each (offset,
    bytes) of pieces; the rest is never written, so it is a hole."""
    path = os.path.join(SRC, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
        for offset, piece in pieces:
            f.seek(offset)
            f.write(piece)
        if size is not None:
            f.truncate(size)
    os.utime(path, (MTIME, MTIME))


def make_trees():
    shutil.rmtree(SRC, ignore_errors=True)
    mib = 1 << 20
    # Sparse files: holes inside, first, last, only; enough segments for
    # GNU extension headers; and one with big holes.
    write("sparse/inside", b"head", mib, [(300000, b"mid"), (mib - 4, b"tail")])
    write("sparse/hole-first", size=256 * 1024, pieces=[(200000, b"late data")])
    write("sparse/hole-last", b"early data" * 100, 256 * 1024)
    write("sparse/all-hole", size=128 * 1024)
    write("sparse/many", size=2 * mib,
          pieces=[(i * 65536 + 100, b"segment %d" % i) for i in range(30)])
    write("sparse/big-holes", b"start", 64 * mib, [(40 * mib, b"middle"), (64 * mib - 3, b"end")])
    write("sparse/after.txt", b"after the sparse files\n")
    # Ordinary trees: every length class of name and data, links, a FIFO.
    # Longer than a header's name field, short enough for Windows paths.
    long_dir = "plain/" + "d" * 40 + "/" + "e" * 30
    for tree in ("plain", "short"):
        write(tree + "/dir/file.txt", b"file\n")
        write(tree + "/empty")
        write(tree + "/513.bin", bytes(range(256)) * 2 + b"x")
        os.makedirs(os.path.join(SRC, tree, "emptydir"))
        os.link(os.path.join(SRC, tree, "513.bin"), os.path.join(SRC, tree, "hard"))
    write(long_dir + "/" + "f" * 40 + ".txt", b"long name\n")
    os.symlink("dir/file.txt", os.path.join(SRC, "plain/link"))
    os.mkfifo(os.path.join(SRC, "plain/fifo"))
    # Incremental dumps and labels.
    write("inc/d/a.txt", b"a\n")
    write("inc/d/sub/b.txt", b"b\n")
    os.makedirs(os.path.join(SRC, "inc/d/emptysub"))
    # Multi-volume: the big file spans both volumes.
    write("volume/big", bytes((i * 7) & 255 for i in range(30000)))
    write("volume/small", b"small\n")


def gnu_tar(*args):
    subprocess.run([TAR, "--owner=0", "--group=0", "--numeric-owner", "--mtime=@%d" % MTIME]
                   + list(args), check=True, cwd=SRC)


def header(name, kind, size, link=b"", magic=b"ustar  \0"):
    """One raw GNU header block, for what no writer makes on request."""
    b = bytearray(512)
    b[0:len(name)] = name
    b[100:108] = b"0000644\0"
    b[108:116] = b[116:124] = b"0000000\0"
    b[124:136] = b"%011o\0" % size
    b[136:148] = b"%011o\0" % MTIME
    b[156:157] = kind
    b[157:157 + len(link)] = link
    b[257:265] = magic
    b[148:156] = b" " * 8
    b[148:156] = b"%06o\0 " % sum(b)
    return bytes(b)


def padded(data):
    return data + b"\0" * (-len(data) % 512)


def python_archive(path, fmt, members, encoding="utf-8"):
    with tarfile.open(path, "w", format=fmt, encoding=encoding) as tar:
        for info, data in members:
            info.mtime = MTIME
            tar.addfile(info, io.BytesIO(data) if data is not None else None)


def member(name, kind=tarfile.REGTYPE, data=None, link=""):
    info = tarfile.TarInfo(name)
    info.type = kind
    info.linkname = link
    info.size = len(data) if data is not None else 0
    return info, data


def make_archives():
    """(name, exit code, refused names); each archive written to ARCHIVES."""
    os.makedirs(ARCHIVES, exist_ok=True)
    a = lambda name: os.path.join(ARCHIVES, name)
    cases = []
    sparse = ["--sparse", "--hole-detection=raw"]
    gnu_tar("--format=gnu", *sparse, "-czf", a("gnu-sparse.tgz"), "sparse")
    gnu_tar("--format=oldgnu", *sparse, "-cf", a("oldgnu-sparse.tar"), "sparse")
    cases += [("gnu-sparse.tgz", 0, []), ("oldgnu-sparse.tar", 0, [])]
    for version in ("0.0", "0.1", "1.0"):
        name = "pax-sparse-%s.tgz" % version
        gnu_tar("--format=posix", "--sparse-version=" + version, *sparse, "-czf", a(name),
                "sparse")
        cases.append((name, 0, []))

    links = ["plain/link", "plain/hard", "plain/fifo"]
    for fmt in ("gnu", "ustar", "posix"):
        gnu_tar("--format=" + fmt, "-cf", a(fmt + ".tar"), "plain")
        cases.append((fmt + ".tar", 1, links))
    gnu_tar("--format=v7", "-cf", a("v7.tar"), "short")
    cases.append(("v7.tar", 1, ["short/hard"]))
    gnu_tar("--format=gnu", "--listed-incremental=" + os.path.join(OUT, "snapshot"), "-cf",
            a("dumpdir.tar"), "inc")
    gnu_tar("--format=gnu", "-V", "Morvane volume label", "-cf", a("label.tar"), "inc")
    cases += [("dumpdir.tar", 0, []), ("label.tar", 0, [])]
    gnu_tar("--format=gnu", "-M", "-L", "20", "-f", a("volume1.tar"), "-f", a("volume2.tar"),
            "-c", "volume")
    gnu_tar("--format=posix", "-M", "-L", "20", "-f", a("pax-volume1.tar"), "-f",
            a("pax-volume2.tar"), "-c", "volume")
    # The first volume ends inside the big file: damaged on its own. The
    # second's first member is the rest of it, under a name GNU tar makes up.
    with tarfile.open(a("pax-volume2.tar")) as tar:
        continued = tar.getnames()[0]
    cases += [("volume1.tar", 3, ["volume/big"]), ("volume2.tar", 1, ["volume/big"]),
              ("pax-volume1.tar", 3, ["volume/big"]), ("pax-volume2.tar", 1, [continued])]

    long_name = "py/" + "n" * 60 + "/" + "m" * 50 + ".txt"
    long_link = "py/" + "t" * 200
    for fmt, name in ((tarfile.PAX_FORMAT, "python-pax.tar"), (tarfile.GNU_FORMAT,
                                                              "python-gnu.tar")):
        python_archive(a(name), fmt, [
            member("py/", tarfile.DIRTYPE),
            member(long_name, data=b"long\n"),
            member("py/symlink", tarfile.SYMTYPE, link=long_link),
            member("py/after.txt", data=b"after\n"),
        ])
        cases.append((name, 1, ["py/symlink"]))
    python_archive(a("types.tar"), tarfile.GNU_FORMAT, [
        member("t/chardev", tarfile.CHRTYPE), member("t/one", data=b"1"),
        member("t/blockdev", tarfile.BLKTYPE), member("t/two", data=b"2"),
        member("t/fifo", tarfile.FIFOTYPE), member("t/three", data=b"3"),
        member("t/unknown", b"Z", data=b"data of an unknown type " * 50),
        member("t/four", data=b"4"),
        member("t/bad:name", data=b"colon"), member("t/CON.txt", data=b"device"),
        member("t/trailing.", data=b"dot"), member("t/five", data=b"5"),
    ])
    cases.append(("types.tar", 1, ["t/chardev", "t/blockdev", "t/fifo", "t/unknown",
                                   "t/bad:name", "t/CON.txt", "t/trailing."]))
    # Several long names and link names before one entry: the last counts.
    first, last = b"multi/first-" + b"a" * 120, b"multi/last-" + b"b" * 120
    data = b""
    for text, kind in ((first, b"L"), (last, b"L"), (first, b"K"), (last, b"K"),
                       (b"multi/link-" + b"c" * 120, b"L")):
        data += header(b"././@LongLink", kind, len(text) + 1) + padded(text + b"\0")
        if text == last and kind == b"L":
            data += header(b"short", b"0", 4) + padded(b"last")
    data += header(b"symlink", b"2", 0, b"short-target")
    data += header(b"multi/after", b"0", 6) + padded(b"after\n") + b"\0" * 1024
    with open(a("multi-long.tar"), "wb") as f:
        f.write(data)
    cases.append(("multi-long.tar", 1, ["multi/link-" + "c" * 120]))
    # Names beyond ASCII: pax records are UTF-8 by definition; GNU names are
    # bytes, here UTF-8 and Latin-1 (long ones through GNU long names).
    names = [("names/Café.txt", b"cafe\n"), ("names/Ärger/Grüße.txt", b"gruesse\n"),
             ("names/" + "ü" * 60 + "/long-" + "é" * 50 + ".txt", b"long\n")]
    for fmt, encoding, name in ((tarfile.PAX_FORMAT, "utf-8", "names-pax.tar"),
                                (tarfile.GNU_FORMAT, "utf-8", "names-gnu-utf8.tar"),
                                (tarfile.GNU_FORMAT, "latin-1", "names-gnu-latin1.tar")):
        python_archive(a(name), fmt, [member(n, data=d) for n, d in names], encoding)
        cases.append((name, 0, []))
    return cases


def extract_expected(cases):
    shutil.rmtree(EXPECTED, ignore_errors=True)
    for name, code, refused in cases:
        dest = os.path.join(EXPECTED, name)
        os.makedirs(dest)
        excludes = ["--exclude=" + r for r in refused]
        # A UTF-8 locale, so that GNU tar makes pax names UTF-8 file names.
        run = subprocess.run([TAR, "-x", "-f", os.path.join(ARCHIVES, name), "-C", dest,
                              "--anchored", "--no-wildcards"] + excludes,
                             capture_output=True, text=True,
                             env=dict(os.environ, LC_ALL="C.UTF-8"))
        # GNU tar too fails on a cut volume or a continued file, with
        # nothing else to complain of: the trees are compared anyway.
        if run.returncode != 0 and code == 0:
            sys.exit("GNU tar failed on %s: %s" % (name, run.stderr))


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    make_trees()
    cases = make_archives()
    extract_expected(cases)
    with open(os.path.join(OUT, "cases.txt"), "w", encoding="utf-8") as f:
        for name, code, refused in cases:
            f.write("\t".join([name, str(code)] + refused) + "\n")


main()
