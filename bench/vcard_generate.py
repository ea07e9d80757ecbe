#!/usr/bin/env python3
"""Writes the same N contacts as a .vcf file of vCard 3.0 cards and as a delimited file with the
same 20 fields, for bench/vcard_import_bench.sh.

Usage: vcard_generate.py FOLDER [CARDS]
"""
import datetime
import os
import random
import sys

FIRSTS = ["Ann", "Björn", "Chloé", "Dmitri", "Eamonn", "Fatma", "Günther", "Hélène", "Иван",
          "Józef"]
LASTS = ["O'Brien", "Kühn", "Lacroix", "Mäkinen", "Núñez", "Quinn", "Ørsted", "Smith",
         "Yıldız", "张"]
CITIES = ["Sligo", "Lübeck", "Genève", "Jyväskylä", "Málaga", "Harrogate", "Århus", "Paris"]
HEADER = ["FN", "FIRST", "LAST", "PREFIX", "ORG", "STREET", "CITY", "REGION", "CODE", "COUNTRY",
          "HOMEPHONE", "WORKPHONE", "MOBILE", "FAX", "EMAIL", "WORKEMAIL", "URL", "TITLE",
          "NOTE", "BDAY"]


def contact(rng, i):
    first, last = rng.choice(FIRSTS), rng.choice(LASTS)
    born = datetime.date(1940, 1, 1) + datetime.timedelta(days=rng.randrange(25000))
    return [f"{first} {last}", first, last, rng.choice(["Mr", "Ms", "Dr", ""]),
            f"Company {i % 997}, Ltd", f"{i} High Street", rng.choice(CITIES), "State",
            f"{10000 + i % 89999}", "Country", f"+1 555 {100000 + i}", f"+1 555 {200000 + i}",
            f"+44 7700 {900000 + i % 99999}", f"+1 555 {300000 + i}", f"person{i}@example.com",
            f"p{i}@work.example", f"http://www.example.com/{i}", "Engineer",
            f"Met at conference {i % 50}; follow up", born.isoformat()]


def escape(text):
    return (text.replace("\\", "\\\\").replace(",", "\\,").replace(";", "\\;")
            .replace("\n", "\\n"))


def card(v):
    e = [escape(x) for x in v]
    return ("BEGIN:VCARD\r\nVERSION:3.0\r\n"
            f"N:{e[2]};{e[1]};;{e[3]};\r\nFN:{e[0]}\r\nORG:{e[4]}\r\nTITLE:{e[17]}\r\n"
            f"TEL;TYPE=HOME,VOICE:{e[10]}\r\nTEL;TYPE=WORK,VOICE:{e[11]}\r\n"
            f"TEL;TYPE=CELL:{e[12]}\r\nTEL;TYPE=WORK,FAX:{e[13]}\r\n"
            f"EMAIL;TYPE=INTERNET,HOME,PREF:{e[14]}\r\nEMAIL;TYPE=INTERNET,WORK:{e[15]}\r\n"
            f"ADR;TYPE=HOME:;;{e[5]};{e[6]};{e[7]};{e[8]};{e[9]}\r\nURL:{e[16]}\r\n"
            f"NOTE:{e[18]}\r\nBDAY:{e[19]}\r\nEND:VCARD\r\n")


def csv_cell(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"\n') else text


def main():
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    rng = random.Random(42)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "contacts.vcf"), "w", encoding="utf-8", newline="") as vcf, \
         open(os.path.join(folder, "contacts.csv"), "w", encoding="utf-8", newline="") as csv:
        csv.write(",".join(HEADER) + "\r\n")
        for i in range(count):
            values = contact(rng, i)
            vcf.write(card(values))
            csv.write(",".join(csv_cell(v) for v in values) + "\r\n")


if __name__ == "__main__":
    main()
