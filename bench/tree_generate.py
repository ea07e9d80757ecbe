#!/usr/bin/env python3
"""Builds the trees the file-system benchmarks walk and copy. Deterministic for a given size.

  tree_generate.py files OUT [COUNT] [DEPTH]  COUNT files (100,000) in folders DEPTH (4) deep;
                                              about 30% carry an office extension, in any case
  tree_generate.py folders OUT                4 levels of folders, about 20,000 in all, with
                                              two pictures in each deepest one
  tree_generate.py mixed OUT [MIB]            MIB (2048) of incompressible files of mixed sizes
  tree_generate.py small OUT [COUNT]          COUNT (200,000) small files of 0 to 4 KiB
"""
import os
import random
import shutil
import sys

OFFICE = ["doc", "rtf", "txt", "xls", "csv", "mdb", "dbf", "jpg", "bmp", "ppt", "pdf",
          "DOC", "Pdf", "JPG"]
OTHER = ["png", "mp3", "html", "log", "odt", "docx", "zip", "exe", "c", "h"]


def fresh(out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)


def nested_folder(out, index, depth, fan):
    parts = []
    for _ in range(depth):
        parts.append("dir%02d" % (index % fan))
        index //= fan
    return os.path.join(out, *parts)


def files(out, count=100000, depth=4):
    fresh(out)
    rnd = random.Random(1)
    fan = max(2, round((count / 10) ** (1.0 / depth)))  # about ten files per deepest folder
    made = set()
    for i in range(count):
        folder = nested_folder(out, i // 10, depth, fan)
        if folder not in made:
            os.makedirs(folder, exist_ok=True)
            made.add(folder)
        ext = OFFICE[i % len(OFFICE)] if i % 10 < 3 else OTHER[i % len(OTHER)]
        with open(os.path.join(folder, "file%06d.%s" % (i, ext)), "wb") as f:
            if i % 7 == 0:
                f.write(b"x" * rnd.randrange(1, 2048))
    print("%d files in %d folders under %s" % (count, len(made), out))


def folders(out):
    fresh(out)
    total = 0
    for a in range(10):
        for b in range(10):
            for c in range(10):
                for d in range(19):
                    leaf = os.path.join(out, "Album %d" % a, "Day %d" % b, "Part %d" % c,
                                        "Shot %d" % d)
                    os.makedirs(leaf)
                    for p in range(2):
                        open(os.path.join(leaf, "img%d.jpg" % p), "wb").close()
    total = 10 + 100 + 1000 + 19000
    print("%d folders under %s" % (total, out))


def mixed(out, mib=2048):
    fresh(out)
    blob = os.urandom(64 << 20)
    budget = mib << 20
    # A quarter each in huge, large, medium and small files.
    plan = [(256 << 20, "huge"), (8 << 20, "large"), (256 << 10, "medium"), (4 << 10, "small")]
    written = 0
    for size, name in plan:
        share = budget // 4
        folder = os.path.join(out, name)
        os.makedirs(folder)
        n = 0
        while share > 0:
            part = min(size, share)
            sub = os.path.join(folder, "g%03d" % (n // 500))
            os.makedirs(sub, exist_ok=True)
            with open(os.path.join(sub, "f%05d.bin" % n), "wb") as f:
                left, offset = part, (n * 7919) % (len(blob) // 2)
                while left > 0:
                    chunk = min(left, len(blob) - offset)
                    f.write(blob[offset:offset + chunk])
                    left -= chunk
                    offset = 0
            share -= part
            written += part
            n += 1
    print("%d MiB under %s" % (written >> 20, out))


def small(out, count=200000):
    fresh(out)
    rnd = random.Random(2)
    blob = os.urandom(8192)
    made = set()
    for i in range(count):
        folder = os.path.join(out, "d%03d" % (i // 1000), "s%02d" % (i % 10))
        if folder not in made:
            os.makedirs(folder)
            made.add(folder)
        with open(os.path.join(folder, "f%06d.dat" % i), "wb") as f:
            f.write(blob[: rnd.randrange(0, 4097)])
    print("%d small files under %s" % (count, out))


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("files", "folders", "mixed", "small"):
        sys.exit(__doc__)
    kind, out, rest = sys.argv[1], sys.argv[2], [int(a) for a in sys.argv[3:]]
    globals()[kind](out, *rest)
