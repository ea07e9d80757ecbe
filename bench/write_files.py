#!/usr/bin/env python3
"""The plain loop the card writer is measured against: writes a set of files, each with one
open, write and close, into an empty folder.
  write_files.py pack FOLDER PACK   gather the files of FOLDER (not its sub-folders) into PACK
  write_files.py write PACK FOLDER  write every file of PACK into FOLDER
"""
import marshal
import os
import sys


def pack(folder, target):
    files = []
    with os.scandir(folder) as entries:
        for entry in sorted(entries, key=lambda e: e.name):
            if entry.is_file(follow_symlinks=False):
                with open(entry.path, "rb") as f:
                    files.append((entry.name, f.read()))
    with open(target, "wb") as f:
        marshal.dump(files, f)
    print(f"{len(files)} files, {sum(len(d) for _, d in files)} bytes in {target}")


def write(source, folder):
    with open(source, "rb") as f:
        files = marshal.load(f)
    for name, data in files:
        with open(os.path.join(folder, name), "xb") as f:
            f.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("pack", "write"):
        sys.exit(__doc__)
    (pack if sys.argv[1] == "pack" else write)(sys.argv[2], sys.argv[3])
