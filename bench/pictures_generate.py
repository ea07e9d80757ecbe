#!/usr/bin/env python3
"""Builds the picture trees the picture benchmarks scan and send. Deterministic for a size.

  pictures_generate.py folders OUT       about 20,000 folders four levels deep ("Day 2" and
                                         "Day 10" side by side), one small picture in each
  pictures_generate.py photos OUT [MIB]  MIB (1024) of incompressible "photos" in an album
                                         tree four levels deep, a few in every folder
"""
import os
import shutil
import sys


def fresh(out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)


def folders(out):
    fresh(out)
    count = 0
    for a in range(10):
        for b in range(10):
            for c in range(10):
                for d in range(19):
                    leaf = os.path.join(out, "Album %d" % a, "Day %d" % (b + 1),
                                        "Part %d" % (c + 1), "Shot %d" % (d + 1))
                    os.makedirs(leaf)
                    with open(os.path.join(leaf, "img.jpg"), "wb") as f:
                        f.write(b"\xff\xd8\xff\xe0")
    count = 10 + 100 + 1000 + 19000
    print("%d folders under %s" % (count, out))


def photos(out, mib=1024):
    fresh(out)
    blob = os.urandom(32 << 20)
    leaves = [os.path.join(out, "Album %d" % a, "Day %d" % (b + 1), "Part %d" % (c + 1),
                           "Shot %d" % (d + 1))
              for a in range(3) for b in range(4) for c in range(2) for d in range(2)]
    for leaf in leaves:
        os.makedirs(leaf)
    photo = 3 << 20
    count = (mib << 20) // photo
    for i in range(count):
        leaf = leaves[i % len(leaves)]
        # One in five photos sits higher up, so every level holds pictures of its own.
        folder = leaf if i % 5 else os.path.dirname(leaf)
        offset = (i * 7919) % (len(blob) - photo)
        with open(os.path.join(folder, "IMG_%05d.jpg" % i), "wb") as f:
            f.write(blob[offset:offset + photo])
    print("%d photos (%d MiB) in %d leaf folders under %s" % (count, count * 3, len(leaves), out))


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("folders", "photos"):
        sys.exit(__doc__)
    kind, out, rest = sys.argv[1], sys.argv[2], [int(a) for a in sys.argv[3:]]
    globals()[kind](out, *rest)
