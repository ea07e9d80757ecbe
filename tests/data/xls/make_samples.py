# Writes the source workbooks (.xlsx written by hand) that LibreOffice then converts into the
# test files: see README.md beside this script.
import random
from mkxlsx import make

# Formula results: numbers, texts, booleans, errors; LibreOffice computes and stores them.
formulas = [
    [('Kind', None), ('Result', None)],
    [('number', None), ('=1+2', None)],
    [('fixed', None), ('=10/4', '0.00')],
    [('date', None), ('=DATE(2024,2,29)', 'yyyy-mm-dd')],
    [('text', None), ('="Zürich"&" "&"Ост"', None)],
    [('empty text', None), ('=""', None)],
    [('true', None), ('=1<2', None)],
    [('false', None), ('=1>2', None)],
    [('div0', None), ('=1/0', None)],
    [('na', None), ('=NA()', None)],
    [('value', None), ('="a"+1', None)],
    [('num', None), ('=SQRT(-1)', None)],
    [('name', None), ('=NOSUCHFUNCTION(1)', None)],
    [('long text', None), ('=REPT("ab",200)', None)],
    [('percent', None), ('=1/8', '0.0%')],
]
make('src_formulas.xlsx', [('Formulas', formulas)])

# Many shared strings: the table runs over several CONTINUE records, with a long Cyrillic
# text split in the middle of its characters.
random.seed(7)
rows = [[('Id', None), ('Word', None)]]
for i in range(1, 1500):
    word = ''.join(random.choice('abcdefghijklmnopqrstuvwxyzäöüéè') for _ in range(random.randint(3, 14)))
    rows.append([(i, None), ('%s %d' % (word, i), None)])
rows.append([(1500, None), ('Длинный текст ' * 700, None)])
rows.append([(1501, None), ('after the long one', None)])
make('src_strings.xlsx', [('Words', rows)])

# Number formats: each row a format code and values shown under it.
numbers = [0, 1234.5678, -1234.5678, 0.25, -0.4, 1e7, 12345678.9, 0.999999]
dates = [61.5, 1234.5678, 45678.75, 36526.25, 2958465.5, 45000.0416666667, 100.9999, 44197]
number_codes = ['0', '0.00', '#,##0', '#,##0.00', '$#,##0_);($#,##0)',
    '$#,##0.00_);[Red]($#,##0.00)', '0%', '0.00%', '0.00E+00', '##0.0E+0', '# ?/?',
    '# ??/??', '#,##0_);(#,##0)', '_(* #,##0_);_(* (#,##0);_(* "-"_);_(@_)',
    '_("$"* #,##0.00_);_("$"* (#,##0.00);_("$"* "-"??_);_(@_)', '@', '[$€-407]#,##0.00',
    '#,##0.00 [$€-407]', '"USD "0.00', '0.00" kg"', 'General', '0.000;-0.000;"zero";"text:"@',
    '[<100]"small";"big"', '0.0,,"M"', '#,###', '000000', '#.##', '0.00;[Red]0.00',
    '#,##0.00;(#,##0.00)', '0\\%', '\\$0.00', '0 "pcs"', '#,##0,', '0.0%', '?.??', '0E+0',
    '00.00E-00', 'General" units"', '[$£-809]#,##0.00', '000-0000', '[h]:mm:ss', '[mm]:ss']
date_codes = ['m/d/yyyy', 'd-mmm-yy', 'd-mmm', 'mmm-yy', 'h:mm AM/PM', 'h:mm:ss AM/PM', 'h:mm',
    'h:mm:ss', 'm/d/yyyy h:mm', 'mm:ss', 'mm:ss.0', 'yyyy-mm-dd', 'dddd, mmmm d, yyyy', 'mmmmm',
    'yy', 'd/m/yy h:mm:ss.00', '[$-409]h:mm:ss AM/PM', 'ddd', 'yyyy-mm-dd hh:mm:ss',
    'mmmm yyyy', 'hh:mm:ss AM/PM']
rows = [[('Format', None)] + [('v%d' % i, None) for i in range(len(numbers))]]
for code in number_codes:
    rows.append([(code, None)] + [(v, code) for v in numbers])
for code in date_codes:
    rows.append([(code, None)] + [(v, code) for v in dates])
rows.append([('text', None)] + [('abc', c) for c in ['0.000;-0.000;"zero";"text:"@', '@', '0.00', 'General']])
make('src_formats.xlsx', [('Formats', rows)])

# Two sheets, the second one active: for .xlsx, .ods and Excel 95 files.
first = [[('Read me', None)], [('The data is on the second sheet.', None)]]
second = [[('Name', None), ('City', None), ('Born', None), ('Amount', None), ('Member', None)],
          [('Émile Zola', None), ('Paris', None), (1234.0, 'yyyy-mm-dd'), (12.5, '0.00'), (True, None)],
          [('Åsa Öberg', None), ('Malmö', None), (29221.0, 'yyyy-mm-dd'), (-3, '0.00'), (False, None)],
          [None, None, None, None, None],
          [('Jürgen Groß', None), ('Köln', None), (44197.75, 'yyyy-mm-dd'), (1234567.891, '#,##0.00'), ('=1/0', None)],
          [('Zoë Smith', None), ('Nice, France', None), None, (0.5, '0%'), ('="x"&"y"', None)]]
make('src_two_sheets.xlsx', [('Read me', first), ('People', second)], active=1)

# Header cells that are empty or repeated, and a data row wider than the header.
headers = [[('Name', None), None, ('name', None), ('City', None)],
           [('Ann', None), ('x', None), ('y', None), ('Oslo', None), ('beyond', None)],
           [None, None, None, ('Bergen', None)]]
make('src_headers.xlsx', [('Headers', headers)])

# The 1904 date system: the same dates must show although the stored numbers differ.
dates1904 = [[('When', None), ('Time', None)],
             [(43830.0, 'yyyy-mm-dd'), (43830.75, 'yyyy-mm-dd hh:mm')],
             [(0.0, 'yyyy-mm-dd'), (1.5, 'd-mmm-yy h:mm AM/PM')]]
make('src_dates_1904.xlsx', [('Dates', dates1904)], date1904=True)
