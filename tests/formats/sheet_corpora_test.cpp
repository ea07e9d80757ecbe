// Other readers' public workbooks, from ../shared/corpora/sheets, judged through the text file:
// the active sheet's cells as shown. The expected values are those that xlrd's and calamine's
// tests (and the issues and pull requests those tests came with) assert, shown through the
// number formats the files name; a file whose tests only ask that it opens must open or be
// refused by name, never crash or hang.

#include "formats/sheet_reader.h"

#include "reader_test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

// Texts shown from a cell on, down its column or, given across, along its row.
struct CellRun {
    int row, column;
    QStringList texts;
    bool across = false;
};

struct Case {
    const char *file;  // in sheets/<folder>
    const char *sheet; // the active sheet; nullptr: not asserted
    std::vector<CellRun> runs;
    bool expands = false; // read as a table, it asks for more than the budget
};

void expectCases(const QString &folder, const std::vector<Case> &cases)
{
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString path =
            corpusFile(dir, QStringLiteral("sheets/") + folder, QString::fromUtf8(c.file));
        ASSERT_FALSE(path.isEmpty());
        const Result<SheetBlock> block = readSheetBlock(path, 20, 20);
        ASSERT_TRUE(block.ok()) << block.message().toStdString();
        if (c.sheet) {
            EXPECT_EQ(block->sheetName, QString::fromUtf8(c.sheet));
        }
        for (const CellRun &run : c.runs) {
            QStringList shown;
            for (int i = 0; i < run.texts.size(); ++i)
                shown << block->text(run.row + (run.across ? 0 : i),
                                     run.column + (run.across ? i : 0));
            EXPECT_EQ(shown, run.texts) << "from row " << run.row << " column " << run.column;
        }
        // The whole sheet as a table reads to its end as well.
        auto table = openSheetReader(path);
        ASSERT_TRUE(table.ok()) << table.message().toStdString();
        QVariantList values;
        while ((*table)->next(values)) {
        }
        if (c.expands) {
            EXPECT_TRUE((*table)->status().message().contains(
                QLatin1String("its text expands to more than")))
                << (*table)->status().message().toStdString();
        } else {
            EXPECT_EQ((*table)->status().message(), QString());
        }
    }
}

void expectRefused(const QString &folder, const char *file, const char *why)
{
    QTemporaryDir dir;
    const QString path =
        corpusFile(dir, QStringLiteral("sheets/") + folder, QString::fromUtf8(file));
    ASSERT_FALSE(path.isEmpty()) << file;
    const Result<SheetBlock> block = readSheetBlock(path, 20, 20);
    EXPECT_EQ(block.message(),
              QStringLiteral("The file %1 cannot be read: %2.").arg(path, QString::fromUtf8(why)))
        << file;
}

} // namespace

TEST(CorpusSheets, XlrdWorkbooks)
{
    if (corporaDir(QStringLiteral("sheets/xlrd")).isEmpty())
        GTEST_SKIP() << "the corpus is not beside the repository";
    expectCases(QStringLiteral("xlrd"),
                {
                    // test_formats.py: texts, dates, times, percentages and currencies of Blätt1,
                    // shown through the formats the workbook gives them.
                    {"Formate.xls",
                     "Blätt1",
                     {{0, 0, {"Huber", "Äcker", "Öcker"}},
                      {0,
                       1,
                       {"03/07/1907", "23/02/2005", "Tuesday, May 03, 1988", "06:34", "12:56",
                        "5:47:13 PM", "97.4%", "12.4%", " 1,000.30 € ", " 1.20 € "}}}},
                    // test_formulas.py: formula results by name and by function.
                    {"formula_test_names.xls", "Sheet1", {{1, 1, {"-7", "4", "6", "3", "b", "C"}}}},
                    {"formula_test_sjmachin.xls",
                     "Sheet1",
                     {{1,
                       1,
                       {"МОСКВА Москва", "0.142857142857143", "ABCDEF", "", "TRUE", "#DIV/0!",
                        "МОСКВА Москва"}}}},
                    // test_cell.py: the calculated cell of the active sheet, and a merged cell.
                    {"profiles.xls", "PROFILELEVELS", {{1, 3, {"265.131"}}}},
                    {"xf_class.xls", "table2", {{3, 2, {"MERGED"}}}},
                    // test_sheet.py: ragged rows of 3, 2, 1, 4 and 4 cells.
                    {"ragged.xls",
                     "Sheet1",
                     {{0, 2, {"c", "", ""}},
                      {0, 3, {"", "", "", "j", "l"}},
                      {1, 1, {"e", ""}},
                      {2, 0, {"f"}}}},
                    // Files whose tests ask that they open (corrupted_error.xls opens when its
                    // damage is let pass; this reader lets it pass).
                    {"namesdemo.xls", nullptr, {}},
                    {"issue20.xls", nullptr, {}},
                    {"picture_in_cell.xls", nullptr, {}},
                    {"corrupted_error.xls", nullptr, {}},
                    {"invalid_formula.xls", nullptr, {}},
                });
    // An Excel 4 workbook: refused, saying why.
    expectRefused(QStringLiteral("xlrd"), "biff4_no_format_no_window2.xls",
                  "workbooks older than Excel 5 are not supported");
}

TEST(CorpusSheets, CalamineWorkbooks)
{
    if (corporaDir(QStringLiteral("sheets/calamine")).isEmpty())
        GTEST_SKIP() << "the corpus is not beside the repository";
    const std::vector<CellRun> dates = {{0, 0, {"2021-01-01", "2021-01-02", "255:10:10"}},
                                        {0, 1, {"15", "16", "17"}}};
    const std::vector<CellRun> emptyRows = {
        {0, 0, {"StringCol"}}, {4, 0, {"eee", ""}}, {11, 0, {"", "zzz"}}};
    expectCases(
        QStringLiteral("calamine"),
        {
            {"errors.xlsx",
             "Feuil1",
             {{0, 0, {"#DIV/0!", "#NAME?", "#VALUE!", "#NULL!", "#REF!", "#NUM!", "#N/A"}}}},
            {"issue9.xlsx", "Feuil1", {{0, 0, {"test1", "test2 other", "test3 aaa", "test4"}}}},
            {"issues.ods", "datatypes", {{0, 0, {"1", "1.5", "ab", "FALSE", "test"}}}},
            {"covered.ods", "sheet1", {{0, 0, {"a1", "a2", "a3"}}}},
            {"special_cells.ods",
             "sheet1",
             {{0,
               0,
               {"Split\nLine", "Value  With spaces", "Value   With 3 spaces",
                " Value   With spaces before and after ",
                "  Value   With 2 spaces before and after  "}}}},
            {"date.xls", "Sheet1", dates},
            {"date.xlsx", "Sheet1", dates},
            {"date_1904.xls", "Sheet1", dates},
            {"date_1904.xlsx", "Sheet1", dates},
            {"date.ods", "Sheet1", {{0, 1, {"15"}}, {2, 0, {"10:10:10", "17"}, true}}},
            {"merged_cells.ods",
             nullptr,
             {{0, 0, {"A"}}, {0, 2, {"C"}}, {1, 1, {"B"}}, {2, 0, {"", "", "C"}, true}}},
            {"number_rows_repeated.ods",
             nullptr,
             {{0, 0, {"A"}},
              {2, 0, {"C", ""}},
              {5, 0, {"C", ""}},
              {1, 1, {"D"}},
              {4, 1, {""}},
              {7, 1, {"D"}}}},
            {"single-empty.ods", nullptr, emptyRows},
            {"multi-empty.ods", nullptr, emptyRows},
            {"xls_formula.xls", "Sheet1", {{0, 0, {"10", "20", "110", "65"}}}},
            {"xls_ref_String.xls", "Sheet1", {{0, 0, {"aa", "bb", "aa", "bb"}}}},
            {"gh548_incorrect_sst_unique_count.xls",
             "System Level Data",
             {{9, 2, {"11th May 2023"}}}},
            {"OOM_alloc2.xls", "Colsale (Aug", {}},
            {"issue_419.xlsx", "Sheet1", {{0, 0, {"Hello"}}}},
            {"empty_shared_string.xlsx", "Sheet1", {{0, 0, {"abc", ""}}}},
            // An empty <v/> in a shared-string cell is an empty cell, not the first string.
            {"empty_shared_string_value.xlsx",
             "Sheet1",
             {{1, 0, {"Alice", "", "Active"}, true}, {2, 0, {"", "Berlin"}, true}}},
            {"biff5-rich-text-string.xls",
             "Sheet1",
             {{0,
               0,
               {"ELECTORAL DIVISION OF SOMERSET EAST ; FIELD-CÓRNËTCY No. 5, ZWAGERSHÓÊN."}}}},
            {"richtext-after-plain.xlsx", "Sheet1", {{1, 0, {"tvalrval1rval2"}}}},
            {"inlineStr_cdata.xlsx",
             "Sheet1",
             {{0, 0, {"Hello CDATA", "World"}, true}, {1, 0, {"12345", "NormalText"}, true}}},
            // A cached value beside an inline string is not its text.
            {"inlineStr_with_value.xlsx", "Requirements", {{1, 3, {"1."}}}},
            // Runs without xml:space="preserve" lose the blanks around them.
            {"whitespace_trim.xlsx",
             "inlineStr",
             {{0, 0, {"trimmed value", "value with tabs", " \t\n", "clean text"}, true},
              {1, 0, {"line1\nline2", "  line1\nline2  "}, true},
              {2, 0, {"日期 时间"}}}},
            // All four cells hold 2021-01-01; the last format names the Japanese era.
            {"date_quoted_format.xlsx",
             "Sheet1",
             {{0, 0, {"January 2021", "2021-01-01", "January 1, 2021", "令和3年1月1日"}}}},
            // Files whose tests ask that they open: part names with backslashes, a BOOK stream,
            // damaged or unusual records, a billion repeated rows of a billion cells.
            {"issue_530.xlsx", nullptr, {}},
            {"capitalized_wbook_stream.xls", "Sheet1", {}},
            {"OOM_alloc.xls", nullptr, {}},
            {"issue343.xls", nullptr, {}},
            {"malformed_format.xls", nullptr, {}},
            {"misc_biff5_parsing.xls", nullptr, {}},
            {"ptgexp-truncated-operand.xls", nullptr, {}},
            {"issue_646_unsupported_formula_function.xls", nullptr, {}},
            {"formula-date-format.xls", nullptr, {}},
            {"minimal_package.xlsx", nullptr, {}},
            {"strict_iso_paths.xlsx", nullptr, {}},
            {"nonstandard-xml-ns-prefix.xlsx", nullptr, {}},
            {"issue_594_dos.ods", nullptr, {}, true},
        });
    // calamine refuses these too: a sector chain out of the file, and 68 bytes of no workbook.
    expectRefused(QStringLiteral("calamine"), "OOM_alloc3.xls",
                  "a sector chain points past the end of the file");
    expectRefused(QStringLiteral("calamine"), "too_small.xls",
                  "it is not a spreadsheet of a kind this program reads");
}
