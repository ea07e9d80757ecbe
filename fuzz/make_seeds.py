#!/usr/bin/env python3
"""Seed corpora for the table-reader fuzz targets, from the real samples in tests/data (and the
Access fixture beside the repository when it is there), in the input layouts the targets read.

usage: fuzz/make_seeds.py <output folder> [helper executable]
"""
import glob
import os
import struct
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
out = sys.argv[1]
helper = sys.argv[2] if len(sys.argv) > 2 else None


def write(kind, name, data):
    os.makedirs(os.path.join(out, kind), exist_ok=True)
    with open(os.path.join(out, kind, name), "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


# Delimited: an options byte, then the file.
for path in glob.glob(os.path.join(root, "tests/data/delimited/*")):
    data = read(path)
    for options in (0, 8, 32):
        write("delimited", f"{os.path.basename(path)}.{options}", bytes([options]) + data)


# dBASE: a flag byte (1: .fpt memo), the table's length, the table, the memo.
def dbf_seed(name, table, memo=b"", fpt=False):
    write("dbf", name, bytes([1 if fpt else 0]) + struct.pack("<I", len(table)) + table + memo)


def memo_of(path):
    """The memo file beside a table, in any letter case, and whether it is an .fpt."""
    stem = os.path.basename(path)[:-4].lower()
    for name in os.listdir(os.path.dirname(path)):
        if name.lower() in (stem + ".dbt", stem + ".fpt"):
            return read(os.path.join(os.path.dirname(path), name)), name.lower().endswith(".fpt")
    return b"", False


# The samples, and the public corpus of other readers' tables when it is beside the repository.
tables = glob.glob(os.path.join(root, "tests/data/dbf/*.dbf"))
corpora = os.environ.get("QUENDA_CORPORA_DIR", os.path.join(root, "..", "shared", "corpora"))
tables += glob.glob(os.path.join(corpora, "dbf", "**", "*.dbf"), recursive=True)
for path in tables:
    memo, fpt = memo_of(path)
    dbf_seed(os.path.basename(path), read(path), memo, fpt)

# A Visual FoxPro table with an integer, a double, a timestamp, currency, a memo, a nullable
# varchar and the null flags, with its .fpt.
fields = [(b"NAME", b"C", 8, 0), (b"QTY", b"I", 4, 0), (b"PRICE", b"B", 8, 0),
          (b"STAMP", b"T", 8, 0), (b"COST", b"Y", 8, 0), (b"NOTES", b"M", 4, 0),
          (b"NICK", b"V", 6, 2), (b"_NullFlags", b"0", 1, 5)]
header_length = 32 + 32 * len(fields) + 1 + 263
record_length = 1 + sum(f[2] for f in fields)
header = bytearray(header_length)
header[0] = 0x30
struct.pack_into("<IHH", header, 4, 1, header_length, record_length)
header[29] = 0x03
offset = 1
for i, (name, kind, length, flags) in enumerate(fields):
    at = 32 + 32 * i
    header[at:at + len(name)] = name
    header[at + 11:at + 12] = kind
    struct.pack_into("<I", header, at + 12, offset)
    header[at + 16] = length
    header[at + 18] = flags
    offset += length
header[32 + 32 * len(fields)] = 0x0D
record = (b" Zo\xeb     " + struct.pack("<i", -7) + struct.pack("<d", 12.5) +
          struct.pack("<ii", 2460085, 3600000) + struct.pack("<q", 123456) +
          struct.pack("<I", 8) + b"ab\0\0\0\x02" + b"\x01")
fpt = bytearray(512)
struct.pack_into(">I", fpt, 0, 9)
struct.pack_into(">H", fpt, 6, 64)
text = b"first line\r\nsecond line"
fpt += struct.pack(">II", 1, len(text)) + text
fpt += bytes(-len(fpt) % 64)
dbf_seed("vfp.dbf", bytes(header) + record + b"\x1a", bytes(fpt), fpt=True)


# The helper's stream: a small one by hand, and the helper's answer for the fixture.
def message(tag, payload=b""):
    return tag + struct.pack("<I", len(payload)) + payload


stream = (b"QMDB\x01" + message(b"C", struct.pack("<I", 1200)) +
          message(b"F", b"\x00" + struct.pack("<i", 10) + b"Name") +
          message(b"F", b"\x07" + struct.pack("<i", 0) + b"When") + message(b"H") +
          message(b"R", b"\x01" + struct.pack("<I", 3) + b"Zo\xc3" + b"\x05" + struct.pack("<d", -1.25)) +
          message(b"B") + message(b"R", b"\x00\x00") + message(b"Z"))
write("mdb", "hand", b"\x00" + stream)
write("mdb", "tables", b"\x03" + b"QMDB\x01" + message(b"T", b"Customers") + message(b"Z"))
fixture = os.path.join(root, "..", "shared", "fixtures", "mdb", "DateTestDatabase.mdb")
if helper and os.path.exists(fixture):
    answer = subprocess.run([helper, "read", fixture, "DateTest"], input=b"n" * 16,
                            capture_output=True, check=True).stdout
    write("mdb", "fixture", b"\x05" + answer)
