#!/usr/bin/env python3
"""Writes an .xlsx workbook of one sheet: a header row and ROWS rows of 20 address-book columns,
text through the shared-string table, the rest whole numbers. Fixed seed: the same file every
time. Usage: sheet_generate.py OUT.xlsx [ROWS]   (ROWS defaults to 50,000)
"""
import random
import sys
import zipfile
from xml.sax.saxutils import escape

HEADERS = ["Name", "First", "Last", "Title", "Company", "Street", "City", "State", "Zip",
           "Country", "Phone", "Mobile", "Email", "Web", "Job", "Category", "Sub", "Born",
           "Visits", "Balance"]
NUMERIC = {"Zip", "Born", "Visits", "Balance"}
FIRSTS = ["Ann", "Björn", "Chloé", "Dmitri", "Eamonn", "Fatma", "Günther", "Hélène", "Ivan"]
LASTS = ["O'Brien", "Kühn", "Lacroix", "Mäkinen", "Núñez", "Quinn", "Smith", "Zhang"]
CITIES = ["Sligo", "Lübeck", "Genève", "Málaga", "Harrogate", "Paris & Co <Annex>"]
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006"
XML = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'


def column(index):
    name = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        name = chr(65 + rest) + name
    return name


def row_values(rng, i):
    first, last = rng.choice(FIRSTS), rng.choice(LASTS)
    return [f"{first} {last}", first, last, rng.choice(["Mr", "Ms", "Dr"]),
            f"Company {i % 997}", f"{i} High Street", rng.choice(CITIES), "State",
            10000 + i % 89999, "Country", f"+1 555 {100000 + i}", f"+44 7700 {900000 + i}",
            f"person{i}@example.com", f"www.example.com/{i}", "Engineer", f"Cat{i % 5}",
            f"Sub{i % 7}", 1940 + i % 60, rng.randrange(1000), rng.randrange(-5000, 50000)]


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 50000
    rng = random.Random(11)
    strings, index = [], {}

    def shared(text):
        if text not in index:
            index[text] = len(strings)
            strings.append(text)
        return index[text]

    sheet = [XML, f"<worksheet {NS}><sheetData>"]
    for r in range(rows + 1):
        values = HEADERS if r == 0 else row_values(rng, r)
        cells = []
        for c, value in enumerate(values):
            ref = f"{column(c)}{r + 1}"
            if isinstance(value, int):
                cells.append(f'<c r="{ref}"><v>{value}</v></c>')
            else:
                cells.append(f'<c r="{ref}" t="s"><v>{shared(value)}</v></c>')
        sheet.append(f'<row r="{r + 1}">{"".join(cells)}</row>')
    sheet.append("</sheetData></worksheet>")
    sst = [XML, f'<sst {NS} count="{len(strings)}" uniqueCount="{len(strings)}">']
    sst += [f"<si><t>{escape(s)}</t></si>" for s in strings]
    sst.append("</sst>")

    main_type = "application/vnd.openxmlformats-officedocument.spreadsheetml"
    parts = {
        "[Content_Types].xml": XML + f'<Types xmlns="{PKG}/content-types">'
        '<Default Extension="rels" '
        'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        f'<Default Extension="xml" ContentType="application/xml"/>'
        f'<Override PartName="/xl/workbook.xml" ContentType="{main_type}.sheet.main+xml"/>'
        f'<Override PartName="/xl/worksheets/sheet1.xml" ContentType="{main_type}.worksheet+xml"/>'
        f'<Override PartName="/xl/sharedStrings.xml" ContentType="{main_type}.sharedStrings+xml"/>'
        f'<Override PartName="/xl/styles.xml" ContentType="{main_type}.styles+xml"/></Types>',
        "_rels/.rels": XML + f'<Relationships xmlns="{PKG}/relationships">'
        f'<Relationship Id="rId1" Type="{REL}/officeDocument" Target="xl/workbook.xml"/>'
        "</Relationships>",
        "xl/workbook.xml": XML + f'<workbook {NS} xmlns:r="{REL}"><sheets>'
        '<sheet name="Contacts" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels": XML + f'<Relationships xmlns="{PKG}/relationships">'
        f'<Relationship Id="rId1" Type="{REL}/worksheet" Target="worksheets/sheet1.xml"/>'
        f'<Relationship Id="rId2" Type="{REL}/sharedStrings" Target="sharedStrings.xml"/>'
        f'<Relationship Id="rId3" Type="{REL}/styles" Target="styles.xml"/></Relationships>',
        "xl/styles.xml": XML + f'<styleSheet {NS}><fonts count="1"><font/></fonts>'
        '<fills count="1"><fill/></fills><borders count="1"><border/></borders>'
        '<cellStyleXfs count="1"><xf/></cellStyleXfs><cellXfs count="1"><xf xfId="0"/>'
        "</cellXfs></styleSheet>",
        "xl/sharedStrings.xml": "".join(sst),
        "xl/worksheets/sheet1.xml": "".join(sheet),
    }
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as book:
        for name, text in parts.items():
            book.writestr(name, text)
    print(f"{rows} rows, {len(strings)} shared strings in {out}")


if __name__ == "__main__":
    main()
