# Writes the parts of the .xlsx and .ods test files in the layout fuzz_sheet_zip reads without
# a zip signature: python3 fuzz/sheet_zip_seeds.py tests/data/xls <seed dir>
import glob, os, sys, zipfile

src, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
for path in glob.glob(os.path.join(src, '*.xlsx')) + glob.glob(os.path.join(src, '*.ods')):
    with zipfile.ZipFile(path) as z:
        names = set(z.namelist())
        def part(name):
            return z.read(name) if name in names else b''
        if path.endswith('.ods'):
            parts, kind = [part('content.xml'), part('settings.xml')], b'\x01'
        else:
            sheets = sorted(n for n in names if n.startswith('xl/worksheets/sheet'))
            parts = [part('xl/workbook.xml'), part('xl/_rels/workbook.xml.rels'),
                     part('xl/styles.xml'), part('xl/sharedStrings.xml'),
                     part(sheets[-1]) if sheets else b'']
            kind = b'\x00'
    seed = os.path.join(out, 'parts_' + os.path.basename(path))
    with open(seed, 'wb') as f:
        f.write(kind + b'\x01'.join(parts))
