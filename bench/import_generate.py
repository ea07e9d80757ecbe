#!/usr/bin/env python3
"""Writes the same N contacts as a delimited file and as a dBASE III table, 20 fields each,
for bench/import_bench.sh.

Usage: import_generate.py FOLDER [ROWS]
"""
import datetime
import os
import random
import struct
import sys

FIELDS = [  # name, dBASE type, width
    ("FULLNAME", "C", 40), ("FIRST", "C", 20), ("LAST", "C", 20), ("TITLE", "C", 6),
    ("COMPANY", "C", 30), ("STREET", "C", 30), ("STREET2", "C", 20), ("CITY", "C", 20),
    ("STATE", "C", 12), ("ZIP", "C", 8), ("COUNTRY", "C", 16), ("PHONE", "C", 16),
    ("PHONE2", "C", 16), ("MOBILE", "C", 16), ("EMAIL", "C", 40), ("WEB", "C", 40),
    ("JOB", "C", 24), ("CATEGORY", "C", 12), ("SUBCAT", "C", 12), ("BIRTHDAY", "D", 8),
]

FIRSTS = ["Ann", "Björn", "Chloé", "Dmitri", "Eamonn", "Fatma", "Günther", "Hélène", "Ivan",
          "Józef"]
LASTS = ["O'Brien", "Kühn", "Lacroix", "Mäkinen", "Núñez", "Quinn", "Ørsted", "Smith",
         "Yıldız", "Zhang"]
CITIES = ["Sligo", "Lübeck", "Genève", "Jyväskylä", "Málaga", "Harrogate", "Århus", "Paris"]


def record(rng, i):
    first, last = rng.choice(FIRSTS), rng.choice(LASTS)
    born = datetime.date(1940, 1, 1) + datetime.timedelta(days=rng.randrange(25000))
    return [f"{first} {last}", first, last, rng.choice(["Mr", "Ms", "Dr", ""]),
            f"Company {i % 997}, Ltd", f"{i} High Street", f"Suite {i % 40}",
            rng.choice(CITIES), "State", f"{10000 + i % 89999}", "Country",
            f"+1 555 {100000 + i}", "", f"+44 7700 {900000 + i % 99999}",
            f"person{i}@example.com", f"www.example.com/{i}", "Engineer",
            f"Cat{i % 5}", f"Sub{i % 7}", born]


def csv_cell(value):
    text = value.isoformat() if isinstance(value, datetime.date) else value
    if any(c in text for c in ',"\n'):
        return '"' + text.replace('"', '""') + '"'
    return text


def main():
    folder = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(7)
    record_length = 1 + sum(w for _, _, w in FIELDS)
    header_length = 32 + 32 * len(FIELDS) + 1
    with open(os.path.join(folder, "contacts.csv"), "w", encoding="utf-8", newline="") as csv, \
            open(os.path.join(folder, "contacts.dbf"), "wb") as dbf:
        csv.write(",".join(name for name, _, _ in FIELDS) + "\r\n")
        head = struct.pack("<BBBBIHH20x", 0x03, 126, 12, 7, rows, header_length, record_length)
        head = head[:29] + b"\x03" + head[30:]  # language driver: Windows-1252
        dbf.write(head)
        for name, kind, width in FIELDS:
            dbf.write(struct.pack("<11sc4xBB14x", name.encode("ascii"), kind.encode("ascii"),
                                  width, 0))
        dbf.write(b"\r")
        for i in range(rows):
            values = record(rng, i)
            csv.write(",".join(csv_cell(v) for v in values) + "\r\n")
            out = bytearray(b" ")
            for (name, kind, width), value in zip(FIELDS, values):
                if kind == "D":
                    out += value.strftime("%Y%m%d").encode("ascii")
                else:
                    out += value.encode("cp1252", "replace")[:width].ljust(width, b" ")
            dbf.write(out)
        dbf.write(b"\x1a")


if __name__ == "__main__":
    main()
