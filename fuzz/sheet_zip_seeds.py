#!/usr/bin/env python3
"""Seeds for fuzz_sheet_zip: the smallest packages written by hand, and real .xlsx and .ods files,
each as it stands and as its parts in the layout the target reads without a zip signature (see
fuzz_sheet_zip.cpp).

usage: fuzz/sheet_zip_seeds.py <seed dir> [<folder or file>...]   (no files: the hand-made only)
e.g.   fuzz/sheet_zip_seeds.py seeds/zip tests/data/xls ../shared/corpora/sheets
"""
import os
import shutil
import sys
import zipfile


def workbooks(paths):
    for path in paths:
        if os.path.isdir(path):
            for root, _, names in os.walk(path):
                for name in sorted(names):
                    if name.endswith(('.xlsx', '.ods')):
                        yield os.path.join(root, name)
        elif path.endswith(('.xlsx', '.ods')):
            yield path


REL = ('<Relationship Id="%s" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
       'relationships/%s" Target="%s"/>')


def minimal_parts(book_target, sheet_target):
    """The smallest package that leads from its relations to one sheet of a few cells: short
    inputs, where a mutation of a relation target is one mutation among few."""
    return [
        ('<Relationships>' + REL % ('rId1', 'officeDocument', book_target) +
         '</Relationships>').encode(),
        b'<workbook xmlns:r="r"><bookViews><workbookView activeTab="0"/></bookViews>'
        b'<sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>',
        ('<Relationships>' + REL % ('rId1', 'worksheet', sheet_target) +
         REL % ('rId2', 'sharedStrings', 'sharedStrings.xml') + '</Relationships>').encode(),
        b'<sst><si><t>Name</t></si><si><t xml:space="preserve"> two </t></si></sst>',
        b'<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v>'
        b'</c><c r="C1" t="inlineStr"><is><t>x</t></is></c><c r="D1" s="1"><v>44197</v></c>'
        b'</row></sheetData></worksheet>',
        b'<styleSheet><numFmts><numFmt numFmtId="164" formatCode="yyyy-mm-dd"/></numFmts>'
        b'<cellXfs><xf numFmtId="0"/><xf numFmtId="164"/></cellXfs></styleSheet>',
    ]


def write_minimal(out):
    # Writers name parts relative to the folder of the part that names them, climbing out of it
    # with "../" or starting from the root with "/".
    for name, book, sheet in [('minimal', 'xl/workbook.xml', 'worksheets/sheet1.xml'),
                              ('climbing', './xl/workbook.xml', '../xl/worksheets/sheet1.xml'),
                              ('absolute', '/xl/workbook.xml', '/xl/worksheets/sheet1.xml')]:
        with open(os.path.join(out, 'parts_' + name + '.xlsx'), 'wb') as f:
            f.write(b'\x00' + b'\x01'.join(minimal_parts(book, sheet)))
    # Bare part names (kind byte 2), as fuzz_sheet_zip.cpp lays them out.
    sheet = minimal_parts('', '')[4]
    strings = minimal_parts('', '')[3]
    for name, targets in [('targets', [b'xl/workbook.xml', b'worksheets/sheet1.xml',
                                        b'sharedStrings.xml', b'styles.xml']),
                          ('targets_climbing', [b'./xl/workbook.xml', b'../xl/worksheets/sheet1.xml',
                                                b'/xl/sharedStrings.xml', b'../xl/styles.xml'])]:
        with open(os.path.join(out, 'parts_' + name + '.xlsx'), 'wb') as f:
            f.write(b'\x02' + b'\x01'.join(targets + [sheet, strings]))
    content = (b'<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:'
               b'office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
               b'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body>'
               b'<office:spreadsheet><table:table table:name="T"><table:table-row '
               b'table:number-rows-repeated="2"><table:table-cell table:number-columns-repeated='
               b'"3"><text:p>a<text:s text:c="2"/>b</text:p></table:table-cell></table:table-row>'
               b'</table:table></office:spreadsheet></office:body></office:document-content>')
    with open(os.path.join(out, 'parts_minimal.ods'), 'wb') as f:
        f.write(b'\x01' + content + b'\x01')


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_minimal(out)
    for path in workbooks(sys.argv[2:]):
        base = os.path.basename(path)
        shutil.copyfile(path, os.path.join(out, 'file_' + base))
        try:
            with zipfile.ZipFile(path) as z:
                names = {n.replace('\\', '/'): n for n in z.namelist()}

                def part(name):
                    return z.read(names[name]) if name in names else b''

                if path.endswith('.ods'):
                    parts, kind = [part('content.xml'), part('settings.xml')], b'\x01'
                else:
                    sheets = sorted(n for n in names if n.startswith('xl/worksheets/sheet'))
                    parts = [part('_rels/.rels'), part('xl/workbook.xml'),
                             part('xl/_rels/workbook.xml.rels'), part('xl/sharedStrings.xml'),
                             part(sheets[0]) if sheets else b'', part('xl/styles.xml')]
                    kind = b'\x00'
        except (zipfile.BadZipFile, KeyError, OSError):
            continue
        with open(os.path.join(out, 'parts_' + base), 'wb') as f:
            f.write(kind + b'\x01'.join(parts))


main()
