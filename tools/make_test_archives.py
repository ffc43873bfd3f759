#!/usr/bin/env python3
"""Test data of the archive and compressor tests, written by tools other than Core.

  make_test_archives.py --out DIR     writes the archives and packed blocks into DIR
  make_test_archives.py --verify DIR  checks the blocks that ArchivesTests.exe left in DIR/Out
                                      with Python's zlib and the reference coders below

Archives come from Python's zipfile and from Info-ZIP's zip; zlib blocks from Python's zlib. The
run-length and LZ blocks come from the reference coders in this file, written from the packed
formats' description, so that Core's coders are checked against a second implementation.
Everything is deterministic: the same run writes the same bytes.
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

DATE = (2020, 5, 17, 13, 45, 30)


def compressible(seed, size):
    """Text-like bytes: words from a small vocabulary, with numbers and line breaks."""
    rnd = random.Random(seed)
    words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9)))
             for _ in range(400)]
    out = bytearray()
    while len(out) < size:
        out += rnd.choice(words)
        r = rnd.random()
        if r < 0.1:
            out += b"%d" % rnd.randint(0, 99999)
        out += b"\r\n" if r > 0.93 else b" "
    return bytes(out[:size])


def mixed(seed, size):
    """Runs, text and noise in turn: every packet kind of the coders."""
    rnd = random.Random(seed)
    out = bytearray()
    while len(out) < size:
        kind = rnd.randint(0, 3)
        if kind == 0:
            out += bytes([rnd.randrange(256)]) * rnd.randint(1, 300)
        elif kind == 1:
            out += compressible(rnd.randrange(1 << 30), rnd.randint(1, 500))
        elif kind == 2:
            out += rnd.randbytes(rnd.randint(1, 200))
        else:
            out += bytes(rnd.choice(b"ab") for _ in range(rnd.randint(1, 50)))
    return bytes(out[:size])


# ---- Reference coders ----

def rle_pack(src):
    n = len(src)
    if n == 0:
        return b""
    runs = [1] * n
    for i in range(n - 2, -1, -1):
        if src[i] == src[i + 1] and runs[i + 1] < 128:
            runs[i] = runs[i + 1] + 1
    out = bytearray()
    i = 0
    while i < n:
        r = runs[i]
        if r > 1:
            out += bytes([(1 - r) & 0xFF, src[i]])
            i += r
            continue
        k = 1
        while k < 128 and i + k < n and runs[i + k - 1] <= 3:
            k += 1
        out.append(k - 1)
        out += src[i:i + k]
        i += k
    return bytes(out)


def rle_unpack(packed):
    out = bytearray()
    i = 0
    while i < len(packed):
        c = packed[i] - 256 if packed[i] >= 128 else packed[i]
        i += 1
        if c < 0:
            out += bytes([packed[i]]) * (1 - c)
            i += 1
        else:
            out += packed[i:i + c + 1]
            if i + c + 1 > len(packed):
                raise ValueError("truncated literal packet")
            i += c + 1
    return bytes(out)


def lz_pack(src):
    n = len(src)
    table = [-1] * 4096
    out = bytearray(3)
    out[0] = 0
    control_at, control, items = 1, 0, 0
    p = 0
    stored = False
    while p < n:
        if len(out) > n:
            stored = True
            break
        copied = False
        if p < n - 16:
            h = ((((((src[p] << 4) ^ src[p + 1]) << 4) ^ src[p + 2]) * 40543) & 0xFFFF) >> 4
            cand = table[h]
            table[h] = p
            off = p - cand
            if cand >= 0 and off <= 4095 and src[cand:cand + 3] == src[p:p + 3]:
                length = 3
                while length < 16 and src[cand + length] == src[p + length]:
                    length += 1
                out += bytes([((off >> 4) & 0xF0) | (length - 1), off & 0xFF])
                control |= 1 << items
                p += length
                copied = True
        if not copied:
            out.append(src[p])
            p += 1
        items += 1
        if items == 16:
            out[control_at:control_at + 2] = struct.pack("<H", control)
            control_at = len(out)
            out += b"\0\0"
            control, items = 0, 0
    if not stored:
        if items > 0:
            out[control_at:control_at + 2] = struct.pack("<H", control)
        else:
            del out[-2:]
        stored = len(out) > n
    if stored:
        return b"\x01" + bytes(src)
    return bytes(out)


def lz_unpack(packed):
    if packed[0] == 1:
        return packed[1:]
    out = bytearray()
    i = 1
    while i < len(packed):
        control = packed[i] | packed[i + 1] << 8
        i += 2
        for bit in range(16):
            if i >= len(packed):
                break
            if control >> bit & 1:
                length = (packed[i] & 15) + 1
                off = (packed[i] & 0xF0) << 4 | packed[i + 1]
                i += 2
                if off == 0 or off > len(out):
                    raise ValueError("copy before the start")
                for _ in range(length):
                    out.append(out[-off])
            else:
                out.append(packed[i])
                i += 1
    return bytes(out)


# ---- Archives ----

def write_zip(path, files, compression=zipfile.ZIP_DEFLATED, dirs=(), comment=b""):
    with zipfile.ZipFile(path, "w", compression) as zf:
        for d in dirs:
            zi = zipfile.ZipInfo(d, DATE)
            zf.writestr(zi, b"")
        for name, data in files:
            zi = zipfile.ZipInfo(name, DATE)
            zi.compress_type = compression
            zf.writestr(zi, data)
        zf.comment = comment


def patch_central(path, name, **fields):
    """Changes fields of an entry's central directory header (crc, csize, usize, method)."""
    data = bytearray(open(path, "rb").read())
    at = data.index(b"PK\x01\x02")
    offsets = {"method": 10, "crc": 16, "csize": 20, "usize": 24}
    while at >= 0:
        nlen = struct.unpack_from("<H", data, at + 28)[0]
        if data[at + 46:at + 46 + nlen] == name.encode():
            for key, value in fields.items():
                fmt = "<H" if key == "method" else "<I"
                struct.pack_into(fmt, data, at + offsets[key], value)
            break
        at = data.find(b"PK\x01\x02", at + 46)
    open(path, "wb").write(data)


def local_data_offset(path, name):
    with zipfile.ZipFile(path) as zf:
        zi = zf.getinfo(name)
    data = open(path, "rb").read()
    nlen, elen = struct.unpack_from("<HH", data, zi.header_offset + 26)
    return zi.header_offset + 30 + nlen + elen, zi


def base_files():
    return [
        ("Textures/a.tex", b"texture A from the archive\n" * 3),
        ("Textures/Sub/b.tex", compressible(2, 5000)),
        ("readme.txt", b"line one\r\nline two\r\nline three"),
        ("Data/big.bin", compressible(3, 300000)),
        ("empty.txt", b""),
    ]


def make_archives(out):
    files = base_files()
    write_zip(os.path.join(out, "py_deflated.zip"), files,
              dirs=("Textures/", "Textures/Sub/", "Data/", "Empty/"))
    write_zip(os.path.join(out, "py_stored.zip"), files, zipfile.ZIP_STORED)
    write_zip(os.path.join(out, "py_nodirs.zip"), files)

    # A 64 KiB comment, then more bytes after the archive: 70000 bytes after the record.
    path = os.path.join(out, "py_comment.zip")
    write_zip(path, files[:3], comment=b"c" * 65535)
    with open(path, "ab") as f:
        f.write(b"t" * (70000 - 65535))
    # Data appended after the archive, and a comment that imitates an end record.
    path = os.path.join(out, "py_trailing.zip")
    write_zip(path, files[:3])
    with open(path, "ab") as f:
        f.write(bytes(range(256)) * 4)
    fake = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 3, 3, 0x7FFFFFF0, 0x7FFFFFF0, 0)
    write_zip(os.path.join(out, "py_fakesig.zip"), files[:3], comment=b"x" + fake + b"y")

    # Two archives holding the same name: the one whose name sorts last wins.
    write_zip(os.path.join(out, "dup_alpha.zip"),
              [("Textures/a.tex", b"alpha"), ("alpha.txt", b"1")])
    write_zip(os.path.join(out, "dup_beta.zip"),
              [("Textures/A.TEX", b"beta"), ("beta.txt", b"2")])
    # A name that is also a disk file in the tests.
    write_zip(os.path.join(out, "both.zip"), [("both.txt", b"from the archive")])

    try:
        write_zip(os.path.join(out, "py_bzip2.zip"), [("packed.bin", b"x" * 1000)],
                  zipfile.ZIP_BZIP2)
    except (RuntimeError, ImportError):
        # Without bz2, the method number is patched in: the reader refuses it before reading data.
        path = os.path.join(out, "py_bzip2.zip")
        write_zip(path, [("packed.bin", b"x" * 1000)])
        patch_central(path, "packed.bin", method=12)

    # A ZIP appended to a program, with offsets relative to the ZIP's own start.
    prefix = b"MZ" + random.Random(7).randbytes(4998)
    zip_bytes = open(os.path.join(out, "py_nodirs.zip"), "rb").read()
    open(os.path.join(out, "attached.exe"), "wb").write(prefix + zip_bytes)
    open(os.path.join(out, "plain.exe"), "wb").write(prefix)

    # Damage that only reading can find.
    path = os.path.join(out, "damaged.zip")
    damaged = [("crc_deflated.bin", compressible(4, 20000)),
               ("crc_stored.bin", b"stored bytes " * 50),
               ("short_input.bin", compressible(5, 20000)),
               ("ends_early.bin", compressible(6, 20000)),
               ("good.txt", b"fine")]
    with zipfile.ZipFile(path, "w") as zf:
        for name, data in damaged:
            zi = zipfile.ZipInfo(name, DATE)
            stored = name == "crc_stored.bin"
            zi.compress_type = zipfile.ZIP_STORED if stored else zipfile.ZIP_DEFLATED
            zf.writestr(zi, data)
    patch_central(path, "crc_deflated.bin", crc=zlib.crc32(damaged[0][1]) ^ 1)
    at, zi = local_data_offset(path, "crc_stored.bin")
    data = bytearray(open(path, "rb").read())
    data[at + 100] ^= 0x20
    open(path, "wb").write(data)
    # The compressed data is cut short: the entry's input runs out.
    _, zi = local_data_offset(path, "short_input.bin")
    patch_central(path, "short_input.bin", csize=zi.compress_size // 2)
    # The deflate data ends before the entry's stated size.
    _, zi = local_data_offset(path, "ends_early.bin")
    patch_central(path, "ends_early.bin", usize=zi.file_size + 1000)

    make_infozip(out)


def make_infozip(out):
    if shutil.which("zip") is None:
        sys.exit("Info-ZIP's zip is needed (Debian package zip)")
    with tempfile.TemporaryDirectory() as tmp:
        tree = os.path.join(tmp, "tree")
        for name, data in base_files():
            path = os.path.join(tree, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            open(path, "wb").write(data)
        os.makedirs(os.path.join(tree, "Empty"))
        # Info-ZIP stores access times too: one in the future is not updated by zip's own
        # reading, so the archives come out the same on every run.
        for root, dirs, names in os.walk(tree):
            for n in dirs + names:
                os.utime(os.path.join(root, n), (4102444800, 1589723130))
        env = dict(os.environ, TZ="UTC")
        run = lambda args, **kw: subprocess.run(args, cwd=tree, env=env, check=True, **kw)
        entries = ["Textures", "readme.txt", "Data", "empty.txt", "Empty"]
        for target in ("infozip.zip", "infozip_stored.zip", "infozip_stream.zip"):
            if os.path.exists(os.path.join(out, target)):
                os.remove(os.path.join(out, target))
        # Deflated with directory entries and extra fields.
        run(["zip", "-q", "-r", "-9", os.path.join(out, "infozip.zip")] + entries)
        # Stored, without directory entries.
        run(["zip", "-q", "-r", "-0", "-D", os.path.join(out, "infozip_stored.zip")] + entries)
        # Written to a pipe: sizes follow the data in descriptors, the local headers hold none.
        with open(os.path.join(out, "infozip_stream.zip"), "wb") as f:
            p = subprocess.Popen(["zip", "-q", "-r", "-D", "-", "Textures", "readme.txt"], cwd=tree,
                                 env=env, stdout=subprocess.PIPE)
            f.write(p.stdout.read())
            if p.wait() != 0:
                sys.exit("zip failed")


def make_blocks(out):
    """zlib blocks made by Python, and blocks of the reference coders."""
    sources = [b"", b"a", b"abc" * 1000, compressible(10, 50000), mixed(11, 40000),
               random.Random(12).randbytes(3000)]
    for i, src in enumerate(sources):
        level = (1, 6, 9)[i % 3]
        open(os.path.join(out, "zlib_py_%d.src" % i), "wb").write(src)
        open(os.path.join(out, "zlib_py_%d.z" % i), "wb").write(zlib.compress(src, level))
    rle_sources = [b"A" * 300, b"ABBBBB", mixed(20, 20000), random.Random(21).randbytes(1000),
                   b"ab" * 700, bytes(129) + b"x" + bytes(5)]
    for i, src in enumerate(rle_sources):
        packed = rle_pack(src)
        assert rle_unpack(packed) == src
        open(os.path.join(out, "rle_ref_%d.src" % i), "wb").write(src)
        open(os.path.join(out, "rle_ref_%d.pak" % i), "wb").write(packed)
    lz_sources = [random.Random(30).randbytes(20), compressible(31, 30000), mixed(32, 30000),
                  b"z" * 5000, b"", compressible(33, 17)]
    for i, src in enumerate(lz_sources):
        packed = lz_pack(src)
        assert lz_unpack(packed) == src
        open(os.path.join(out, "lz_ref_%d.src" % i), "wb").write(src)
        open(os.path.join(out, "lz_ref_%d.pak" % i), "wb").write(packed)


def verify(directory):
    """Checks what the C++ tests packed with Python's zlib and the reference coders."""
    out = os.path.join(directory, "Out")
    checked = 0
    for name in sorted(os.listdir(out)):
        if not name.endswith(".src"):
            continue
        stem = name[:-4]
        src = open(os.path.join(out, name), "rb").read()
        for ext, decode in ((".z", zlib.decompress), (".rle", rle_unpack), (".lz", lz_unpack)):
            path = os.path.join(out, stem + ext)
            if os.path.exists(path):
                if decode(open(path, "rb").read()) != src:
                    sys.exit("%s does not unpack to %s" % (stem + ext, name))
                checked += 1
    if checked == 0:
        sys.exit("nothing to verify in %s: run ArchivesTests.exe first" % out)
    print("verified %d blocks packed by Core" % checked)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", help="write the test data into this folder")
    ap.add_argument("--verify", help="check the blocks the tests left in this folder's Out")
    ap.add_argument("--stamp", help="touch this file when done")
    args = ap.parse_args()
    if args.verify:
        verify(args.verify)
    if args.out:
        os.makedirs(args.out, exist_ok=True)
        make_archives(args.out)
        make_blocks(args.out)
    if args.stamp:
        open(args.stamp, "w").close()


if __name__ == "__main__":
    main()
