#!/usr/bin/env python3
"""The plain reader the text file benchmark measures against: opens an .xlsx workbook with the
standard library, reads its shared strings and the first 20 rows and columns of its first sheet
(the rest of the sheet is never parsed), and writes the same "header: value" blocks as the
program's text file, flushed and renamed into place.
Usage: sheet_text_peer.py BOOK.xlsx OUT.txt
Whole numbers and text only: number formats, dates and inline strings are beyond it.
"""
import os
import posixpath
import sys
import zipfile
import xml.etree.ElementTree as ET

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
PKG_REL = "{http://schemas.openxmlformats.org/package/2006/relationships}"
DOC_REL = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
ROWS, COLUMNS = 20, 20
GRID_ROWS, GRID_COLUMNS, PAD = 50, 25, 10


def column_index(ref):
    index = 0
    for ch in ref:
        if not ch.isalpha():
            break
        index = index * 26 + ord(ch.upper()) - 64
    return index - 1


def first_sheet(book):
    workbook = ET.fromstring(book.read("xl/workbook.xml"))
    rid = workbook.find(f"{MAIN}sheets/{MAIN}sheet").get(f"{DOC_REL}id")
    rels = ET.fromstring(book.read("xl/_rels/workbook.xml.rels"))
    target = next(r.get("Target") for r in rels.iter(f"{PKG_REL}Relationship")
                  if r.get("Id") == rid)
    return posixpath.normpath(posixpath.join("xl", target))


def shared_strings(book):
    if "xl/sharedStrings.xml" not in book.namelist():
        return []
    strings = []
    with book.open("xl/sharedStrings.xml") as part:
        for _, item in ET.iterparse(part):
            if item.tag == f"{MAIN}si":
                strings.append("".join(t.text or "" for t in item.iter(f"{MAIN}t")))
                item.clear()
    return strings


def block(path):
    cells = [[""] * COLUMNS for _ in range(ROWS)]
    with zipfile.ZipFile(path) as book:
        strings = shared_strings(book)
        with book.open(first_sheet(book)) as part:
            for _, item in ET.iterparse(part):
                if item.tag != f"{MAIN}row":
                    continue
                r = int(item.get("r")) - 1
                if r >= ROWS:
                    break
                for cell in item.iter(f"{MAIN}c"):
                    c = column_index(cell.get("r"))
                    value = cell.findtext(f"{MAIN}v")
                    if c < COLUMNS and value is not None:
                        cells[r][c] = strings[int(value)] if cell.get("t") == "s" else value
                item.clear()
    return cells


def text(cells):
    grid = [[""] * GRID_COLUMNS for _ in range(GRID_ROWS)]
    for r in range(ROWS):
        grid[r][1:COLUMNS + 1] = cells[r]
    out = []
    for row in grid[1:]:
        out.append("\r\n\r\n")
        for header, value in zip(grid[0], row):
            if value:
                out.append(f"{header}: {' ' * max(0, PAD - len(header.strip(' ')))}{value}\r\n")
    return "".join(out)


def main():
    book, target = sys.argv[1], sys.argv[2]
    content = text(block(book))
    try:
        data = content.encode("cp1252")
    except UnicodeEncodeError:
        data = b"\xef\xbb\xbf" + content.encode("utf-8")
    temporary = target + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(temporary, target)


if __name__ == "__main__":
    main()
