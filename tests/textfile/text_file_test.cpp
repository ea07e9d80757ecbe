#include "formats/sheet_reader.h"
#include "support/test_places.h"
#include "textfile/text_file.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quenda;
using namespace quenda::test;

namespace {

const QByteArray kPair("\r\n\r\n");

QByteArray pairs(int count)
{
    return kPair.repeated(count);
}

TextGrid gridOf(const QList<QStringList> &sheet)
{
    TextGrid grid = emptyTextGrid();
    for (int r = 0; r < sheet.size(); ++r)
        for (int c = 0; c < sheet[r].size(); ++c)
            grid[r][c + 1] = sheet[r][c];
    return grid;
}

} // namespace

TEST(TextFileLayout, BlocksAsLaidOutByteForByte)
{
    const TextGrid grid = gridOf({{"Name", "Phone"}, {"Smith", "555 0100"}});
    EXPECT_EQ(textFileBytes(grid),
              kPair + "Name:       Smith\r\nPhone:      555 0100\r\n" + pairs(48));

    // Headers of ten characters or more get no padding; blanks around a header count for
    // nothing but stay in the line; an empty cell gives no line, an empty row only its pair.
    const TextGrid odd = gridOf({{"Mobile Phone", " Name ", "City"},
                                 {"0161 496 0000", "", "Leeds"},
                                 {"", "", ""},
                                 {"", "Ann", ""}});
    EXPECT_EQ(textFileBytes(odd), kPair + "Mobile Phone: 0161 496 0000\r\nCity:       Leeds\r\n" +
                                      kPair + kPair + " Name :       Ann\r\n" + pairs(46));

    // A value with line breaks of its own keeps CR LF throughout.
    EXPECT_EQ(textFileBytes(gridOf({{"Note"}, {"one\ntwo"}})),
              kPair + "Note:       one\r\ntwo\r\n" + pairs(48));
}

TEST(TextFileLayout, CompactAndAlignedFormatsSkipEmptyRows)
{
    const TextGrid grid = gridOf({{"Name", "Mobile Phone"}, {"Ann", "0161"}, {}, {"Bo", ""}});
    EXPECT_EQ(textFileBytes(grid, TextLayout::Compact),
              kPair + "Name:       Ann\r\nMobile Phone: 0161\r\n" + kPair + "Name:       Bo\r\n");
    EXPECT_EQ(textFileBytes(grid, TextLayout::AlignedCompact),
              kPair + "Name:         Ann\r\nMobile Phone: 0161\r\n" + kPair +
                  "Name:         Bo\r\n");
}

TEST(TextFileLayout, Windows1252WhenItFitsElseUtf8WithAMark)
{
    const QByteArray western = textFileBytes(gridOf({{"City"}, {"K\u00f6ln \u20ac"}}));
    EXPECT_EQ(western, kPair + "City:       K\xf6ln \x80\r\n" + pairs(48));
    EXPECT_EQ(decodeTextFile(western), textFileContent(gridOf({{"City"}, {"K\u00f6ln \u20ac"}})));

    const TextGrid greek =
        gridOf({{"\u03a0\u03cc\u03bb\u03b7"}, {"\u0391\u03b8\u03ae\u03bd\u03b1"}});
    const QByteArray utf8 = textFileBytes(greek);
    EXPECT_TRUE(utf8.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(decodeTextFile(utf8), textFileContent(greek));
}

// The grid is the sheet's block one column to the right; the sheet is larger than the block.
TEST(TextFileImport, TheActiveSheetsFirstTwentyByTwentyAndNothingElse)
{
    const QString path = QStringLiteral(QUENDA_TEST_DATA_DIR "/xls/b_xls_two_sheets_wide.xls");
    const Result<TextGrid> wide = importSpreadsheet(path);
    ASSERT_TRUE(wide) << wide.message().toStdString();
    const Result<SheetBlock> block = readSheetBlock(path, 21, 21);
    ASSERT_TRUE(block.ok()) << block.message().toStdString();
    ASSERT_GT(block->usedRows, 20);
    ASSERT_GT(block->usedColumns, 20);
    ASSERT_EQ(wide->size(), kTextGridRows);
    for (int r = 0; r < kTextGridRows; ++r) {
        QStringList want(kTextGridCols);
        for (int c = 1; r < 20 && c <= 20; ++c)
            want[c] = block->text(r, c - 1);
        EXPECT_EQ((*wide)[r], want) << "row " << r;
    }
}

TEST(TextFileWrite, ReplacesTheFileOrLeavesItWholeAndSaysWhy)
{
    TempPlaces places(false);
    const QString path = textFilePath(places.desktopDir());
    ASSERT_TRUE(writeTextFileFromGrid(path, gridOf({{"A"}, {"1"}})));
    ASSERT_TRUE(writeTextFileFromGrid(path, gridOf({{"A"}, {"2"}})));
    EXPECT_EQ(readAll(path), kPair + "A:          2\r\n" + pairs(48));

    const Status refused =
        writeTextFileFromGrid(places.root() + "/no such folder/QDFile.txt", gridOf({{"A"}}));
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().contains("QDFile.txt"));
    EXPECT_TRUE(refused.message().contains("No such file or directory"));
    EXPECT_FALSE(writeTextFileFromGrid(textFilePath(QString()), gridOf({{"A"}})));
}

// The text file never replaces the spreadsheet it is made from, by whatever name it is given.
TEST(TextFileWrite, AnOutputThatIsTheSourceByAnyNameIsRefused)
{
    TempPlaces places(false);
    const QString book = places.writeFile("work/book.xlsx", "PK");
    const QString hardLink = places.root() + "/work/hard.xlsx";
    ASSERT_EQ(::link(QFile::encodeName(book).constData(), QFile::encodeName(hardLink).constData()),
              0);
    const QString softLink = places.root() + "/work/soft.txt";
    ASSERT_TRUE(QFile::link(book, softLink));
    for (const QString &out :
         {book, places.root() + "/work/../work/./book.xlsx", hardLink, softLink}) {
        const Status same = checkNotOwnSource(book, out);
        ASSERT_FALSE(same) << out.toStdString();
        EXPECT_TRUE(same.message().contains("own source")) << same.message().toStdString();
    }
    EXPECT_TRUE(checkNotOwnSource(book, places.root() + "/work/book.txt"));
}
