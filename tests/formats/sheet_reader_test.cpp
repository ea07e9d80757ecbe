#include "formats/sheet_reader.h"

#include "reader_test_support.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;
using namespace Qt::StringLiterals;

namespace {

using Overrides = QHash<QPair<int, int>, QString>;

// Every cell of the block against LibreOffice's shown text (empty beyond the oracle), except
// the cells listed in overrides, where this reader deliberately shows something else.
void expectMatchesOracle(const SheetBlock &block, const QList<QStringList> &oracle,
                         const Overrides &overrides = {})
{
    ASSERT_FALSE(oracle.isEmpty());
    for (int r = 0; r < block.rows; ++r) {
        for (int c = 0; c < block.columns; ++c) {
            QString want = r < oracle.size() && c < oracle[r].size() ? oracle[r][c] : QString();
            want = overrides.value({r, c}, want);
            EXPECT_EQ(block.text(r, c), want) << "row " << r + 1 << " column " << c + 1;
        }
    }
}

SheetBlock readOk(const QString &name, int rows = 20, int columns = 20)
{
    const Result<SheetBlock> block = readSheetBlock(sheetData(name), rows, columns);
    EXPECT_TRUE(block.ok()) << block.message().toStdString();
    return block.ok() ? block.value() : SheetBlock{};
}

} // namespace

// The active sheet, cut to the block asked for, as LibreOffice shows it, but for the cells
// listed where this reader deliberately shows something else; the block's used part ends where
// the sheet does. sheet and used sizes 0: not asserted.
TEST(SheetFixtures, BlocksShowWhatLibreOfficeShows)
{
    // Booleans show as TRUE and FALSE as in a spreadsheet's own grid (LibreOffice's CSV gives 1
    // and 0 for boolean formula results of .xls files), and #NUM! is Excel's name for the error
    // that LibreOffice calls Err:502. Where a file stores its own error code, that code shows
    // (LibreOffice shows its recomputed one: #ADDIN?, #N/A, and Err:502 written as #VALUE!).
    const Overrides formulas = {{{6, 1}, u"TRUE"_s}, {{7, 1}, u"FALSE"_s}, {{11, 1}, u"#NUM!"_s}};
    Overrides biff8 = formulas, lo = formulas;
    biff8[{12, 1}] = u"#NAME?"_s;
    lo[{11, 1}] = u"#VALUE!"_s;
    lo[{12, 1}] = u"#NAME?"_s;
    const Overrides booleans = {{{1, 4}, u"TRUE"_s}, {{2, 4}, u"FALSE"_s}};
    // Durations of millions of days: LibreOffice shows "#FMT", the reader the plain number.
    Overrides durations;
    for (int row : {41, 42}) {
        durations[{row, 6}] = u"10000000"_s;
        durations[{row, 7}] = u"12345678.9"_s;
    }
    const struct {
        const char *file, *oracle, *sheet;
        int rows, columns, usedRows, usedColumns;
        Overrides overrides;
    } cases[] = {
        {"b_xls_address_book.xls", "b_xls_address_book", "Address book", 20, 20, 10, 7, {}},
        {"b_xls_two_sheets_wide.xls", "b_xls_two_sheets_wide", "Price matrix", 20, 20, 20, 20, {}},
        {"b_xls_two_sheets_wide.xls", "b_xls_two_sheets_wide", "Price matrix", 30, 30, 26, 23, {}},
        {"b_sheet_address_book.csv",
         "b_sheet_address_book",
         "b_sheet_address_book",
         20,
         20,
         10,
         0,
         {}},
        // The 1904 date system shows the same dates.
        {"lo_dates_1904.xls", "lo_dates_1904", nullptr, 5, 3, 0, 0, {}},
        {"lo_dates_1904.xlsx", "lo_dates_1904", nullptr, 5, 3, 0, 0, {}},
        // Cached formula results. The Excel 95 file's text comes through its code page (its
        // Cyrillic, foreign to Windows-1252, was stored as question marks).
        {"lo_formulas.xls", "lo_formulas", "Formulas", 20, 20, 0, 0, lo},
        {"gnm_formulas_biff8.xls", "gnm_formulas_biff8", "Formulas", 20, 20, 0, 0, biff8},
        {"gnm_formulas_biff5.xls", "gnm_formulas_biff5", "Formulas", 20, 20, 0, 0, formulas},
        {"lo_number_formats.xls", "lo_number_formats", nullptr, 80, 10, 65, 0, durations},
        {"lo_number_formats.xlsx", "lo_number_formats", nullptr, 80, 10, 65, 0, durations},
        // Every format opens the sheet saved as active.
        {"lo_two_sheets.xlsx", "lo_two_sheets", "People", 20, 20, 0, 0, booleans},
        {"lo_two_sheets.ods", "lo_two_sheets", "People", 20, 20, 0, 0, booleans},
        {"lo_two_sheets.xls", "lo_two_sheets", "People", 20, 20, 0, 0, booleans},
        {"gnm_two_sheets_biff5.xls", "lo_two_sheets", "People", 20, 20, 0, 0, booleans},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.rows));
        const SheetBlock block = readOk(QString::fromLatin1(c.file), c.rows, c.columns);
        if (c.sheet) {
            EXPECT_EQ(block.sheetName, QString::fromLatin1(c.sheet));
        }
        EXPECT_EQ(block.cells.size(), c.rows);
        if (c.usedRows) {
            EXPECT_EQ(block.usedRows, c.usedRows);
        }
        if (c.usedColumns) {
            EXPECT_EQ(block.usedColumns, c.usedColumns);
        }
        expectMatchesOracle(block, csvRows(QString::fromLatin1(c.oracle) + ".oracle.csv"),
                            c.overrides);
    }
    // A headless LibreOffice leaves the view settings out of an .ods: the first table counts.
    EXPECT_EQ(readOk(u"lo_two_sheets_no_view.ods"_s).sheetName, u"Read me"_s);
}

TEST(SheetTable, SharedStringsRunningAcrossContinueRecordsReadInFull)
{
    const QList<QStringList> oracle = csvRows(QStringLiteral("lo_shared_strings.oracle.csv"));
    auto reader = openSheetReader(sheetData(QStringLiteral("lo_shared_strings.xls")));
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    TableReader &table = **reader;
    EXPECT_EQ(table.fieldNames(), oracle[0]);
    EXPECT_EQ(table.codePage(), 1200);
    const std::vector<QStringList> rows = readAllAsText(table);
    EXPECT_TRUE(table.status().ok()) << table.status().message().toStdString();
    EXPECT_TRUE(QList<QStringList>(rows.begin(), rows.end()) == oracle.mid(1));
    EXPECT_EQ(table.recordNumber(), oracle.size() - 1);
}

TEST(SheetTable, EmptyCellsAreNullAndTheEmptyRowIsNoRecord)
{
    auto reader = openSheetReader(sheetData(QStringLiteral("b_xls_address_book.xls")));
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    TableReader &table = **reader;
    ASSERT_EQ(table.fields().size(), 7u);
    EXPECT_EQ(table.fields()[1].name, QStringLiteral("Telephone number"));
    QList<QVariantList> records;
    QVariantList values;
    while (table.next(values))
        records << values;
    ASSERT_EQ(records.size(), 8);
    EXPECT_EQ(records[2][0].toString(), QStringLiteral("Aoife Ní Bhriain"));
    EXPECT_TRUE(records[2][1].isNull());
    EXPECT_EQ(records[2][5].toString(), QStringLiteral("0.75"));
}

TEST(SheetTable, EmptyAndRepeatedHeadersGetPositionalNames)
{
    auto reader = openSheetReader(sheetData(QStringLiteral("lo_headers.ods")));
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    TableReader &table = **reader;
    EXPECT_EQ(table.fieldNames(), (QStringList{QStringLiteral("Name"), QStringLiteral("F2"),
                                               QStringLiteral("F3"), QStringLiteral("City")}));
    EXPECT_EQ(table.codePage(), 65001);
    QVariantList values;
    ASSERT_TRUE(table.next(values));
    // The value right of the last header has no field and is left out.
    EXPECT_EQ(values, (QVariantList{QStringLiteral("Ann"), QStringLiteral("x"), QStringLiteral("y"),
                                    QStringLiteral("Oslo")}));
    ASSERT_TRUE(table.next(values));
    EXPECT_EQ(values, (QVariantList{QVariant(), QVariant(), QVariant(), QStringLiteral("Bergen")}));
    EXPECT_FALSE(table.next(values));
    EXPECT_TRUE(table.status().ok());
}

TEST(SheetCsv, CommaSeparatedFilesReadAsATable)
{
    auto reader = openSheetReader(sheetData(QStringLiteral("b_sheet_address_book.csv")));
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    EXPECT_EQ((*reader)->fieldNames(),
              csvRows(QStringLiteral("b_sheet_address_book.oracle.csv")).first());
    EXPECT_EQ((*reader)->codePage(), 65001);
}
