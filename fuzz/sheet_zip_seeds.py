#!/usr/bin/env python3
"""Seeds for fuzz_sheet_zip from real .xlsx and .ods files: each file as it stands, and its parts
in the layout the target reads without a zip signature (see fuzz_sheet_zip.cpp).

usage: fuzz/sheet_zip_seeds.py <seed dir> <folder or file>...
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


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
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
                    parts = [part('xl/workbook.xml'), part('xl/_rels/workbook.xml.rels'),
                             part('xl/styles.xml'), part('xl/sharedStrings.xml'),
                             part(sheets[0]) if sheets else b'', part('_rels/.rels')]
                    kind = b'\x00'
        except (zipfile.BadZipFile, KeyError, OSError):
            continue
        with open(os.path.join(out, 'parts_' + base), 'wb') as f:
            f.write(kind + b'\x01'.join(parts))


main()
