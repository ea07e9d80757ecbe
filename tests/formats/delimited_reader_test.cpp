#include "formats/byte_source.h"
#include "formats/delimited_reader.h"
#include "reader_test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quenda;
using namespace quenda::test;

namespace {

std::unique_ptr<DelimitedReader> openBytes(const QByteArray &bytes, DelimitedOptions options = {})
{
    auto reader = DelimitedReader::open(memorySource(bytes), QStringLiteral("t.csv"), options);
    EXPECT_TRUE(reader.ok()) << reader.message().toStdString();
    return reader.ok() ? std::move(reader.value()) : nullptr;
}

// The names and every record as text. A second reader of the same bytes gives each record
// through nextText(), the UTF-8 the import reads: it must be what next() gives, null for null.
std::vector<QStringList> rowsOf(const QByteArray &bytes, DelimitedOptions options = {})
{
    auto reader = openBytes(bytes, options);
    auto texts = openBytes(bytes, options);
    if (!reader || !texts)
        return {};
    std::vector<QStringList> rows{reader->fieldNames()};
    QVariantList values;
    std::vector<QByteArrayView> views;
    while (reader->next(values)) {
        EXPECT_TRUE(texts->nextText(views)) << "record " << rows.size();
        EXPECT_EQ(views.size(), size_t(values.size()));
        views.resize(size_t(values.size()));
        QStringList row;
        for (qsizetype i = 0; i < values.size(); ++i) {
            EXPECT_EQ(views[size_t(i)].isNull(), values[i].isNull()) << rows.size() << "," << i;
            EXPECT_EQ(QString::fromUtf8(views[size_t(i)]), values[i].toString());
            row << values[i].toString();
        }
        rows.push_back(row);
    }
    EXPECT_FALSE(texts->nextText(views));
    EXPECT_EQ(reader->status().message(), QString());
    return rows;
}

void expectMatchesOracle(const QString &input, const QString &oracle, char delimiter, int codePage,
                         bool bom)
{
    auto reader = DelimitedReader::open(QStringLiteral(QUENDA_TEST_DATA_DIR "/") + input);
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    EXPECT_EQ((*reader)->delimiter(), delimiter);
    EXPECT_EQ((*reader)->codePage(), codePage);
    EXPECT_EQ((*reader)->hasByteOrderMark(), bom);
    std::vector<QStringList> expected = parseOracleCsv(dataBytes(oracle));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ((*reader)->fieldNames(), expected.front());
    expected.erase(expected.begin());
    EXPECT_EQ(readAllAsText(**reader), expected);
    EXPECT_EQ((*reader)->recordNumber(), qint64(expected.size()));
}

} // namespace

TEST(DelimitedReaderFixtures, MatchLibreOffice)
{
    expectMatchesOracle(QStringLiteral("delimited/b_clients_bom.csv"),
                        QStringLiteral("delimited/b_clients_bom.oracle.csv"), ',', 65001, true);
    // Windows-1252 with CR LF record ends and a bare LF inside the quoted remark.
    expectMatchesOracle(QStringLiteral("delimited/b_clients_cp1252.tab"),
                        QStringLiteral("delimited/b_clients_cp1252.oracle.csv"), '\t', 1252, false);
}

TEST(DelimitedReader, QuotesLineEndsAndEmptyValues)
{
    const QByteArray csv = "a,b,c\r\n"
                           "\"x, \"\"y\"\"\",\"two\r\nlines\",plain\r\n"
                           "\n\n"      // empty lines are not records
                           "1,,\"\"\r" // CR alone ends a record
                           "\"quoted\"tail,\"\",3\n"
                           "last,no,end";
    const std::vector<QStringList> expected = {{"a", "b", "c"},
                                               {"x, \"y\"", "two\r\nlines", "plain"},
                                               {"1", "", ""},
                                               {"quotedtail", "", "3"},
                                               {"last", "no", "end"}};
    EXPECT_EQ(rowsOf(csv), expected);

    auto reader = openBytes("a,b\n,x\n");
    QVariantList values;
    ASSERT_TRUE(reader->next(values));
    EXPECT_TRUE(values[0].isNull());
    EXPECT_EQ(values[1], QVariant(QStringLiteral("x")));
}

TEST(DelimitedReader, FieldNamesAndRaggedRecords)
{
    EXPECT_EQ(rowsOf("Name,,name, Tel ,F2\n1,2,3,4,5\n").front(),
              QStringList({"Name", "F2", "F3", "Tel", "F5"}));
    const std::vector<QStringList> expected = {
        {"a", "b", "c"}, {"1", "", ""}, {"1", "2", "3"}, {"1", "2", ""}};
    EXPECT_EQ(rowsOf("a,b,c\n1\n1,2,3,4,5\n1,2,\n"), expected);

    // The raw rows keep every field, for the spreadsheet view.
    auto reader = openBytes("a,b\n1,2,3\n");
    QStringList cells;
    ASSERT_TRUE(reader->nextRow(cells));
    EXPECT_EQ(cells, QStringList({"1", "2", "3"}));

    // A line of nothing but delimiters costs no more than the field limit (as a header line it
    // is refused: see AHeaderLineIsAsLongAsTheFileSays).
    auto wide = openBytes("a,b\n" + QByteArray(100000, ',') + "x\n");
    ASSERT_TRUE(wide->nextRow(cells));
    EXPECT_EQ(cells.size(), DelimitedReader::kMaxFields);

    DelimitedOptions noHeader;
    noHeader.headerLine = false;
    const std::vector<QStringList> plain = {{"F1", "F2"}, {"a", "b"}, {"1", "2"}};
    EXPECT_EQ(rowsOf("a,b\n1,2\n", noHeader), plain);
}

TEST(DelimitedReader, DelimiterIsTheOneThatSplitsConsistently)
{
    // A comma inside quotes does not count.
    for (const auto &[text, delimiter] :
         {std::pair<QByteArray, char>{"Name;Amount\nA;1,5\nB;2,25\n", ';'},
          {"a|b|c\n1|2|3\n", '|'},
          {"a\tb\n\"x,y,z\"\t2\n", '\t'}})
        EXPECT_EQ(openBytes(text)->delimiter(), delimiter) << text.constData();
    // One column: a comma in the data must not split the value.
    const std::vector<QStringList> single = {{"Name"}, {"Smith, John"}};
    EXPECT_EQ(rowsOf("Name\nSmith, John\n"), single);
}

TEST(DelimitedReader, Encodings)
{
    // Beyond the sample a value in Windows-1252 keeps its letters; its neighbours stay UTF-8.
    QByteArray mixed = "n,m\n";
    for (int i = 0; i < 5000; ++i)
        mixed += "Jos\xC3\xA9,\"say \"\"hi\"\",\r\nto\"\n";
    mixed += "Jos\xE9,Zo\xC3\xAB\n";
    const QByteArray le =
        QByteArray("\xFF\xFE", 2) +
        QByteArray(reinterpret_cast<const char *>(u"a;b\r\n\u0416;\U0001F600\r\n"), 22);
    QByteArray be;
    for (char16_t c : u"x,y\n1,\u00E9\n")
        if (c)
            be.append(char(c >> 8)).append(char(c & 0xFF));
    DelimitedOptions dos;
    dos.codePage = 850;
    const struct {
        QByteArray bytes;
        DelimitedOptions options;
        int codePage;
        QStringList last;
    } cases[] = {{"n\nMa\xC5\x82gorzata\n", {}, 65001, {"Małgorzata"}},
                 {"n\ncaf\xE9\n", {}, 1252, {"café"}},
                 {mixed, {}, 65001, {"José", "Zoë"}},
                 {le, {}, 1200, {"Ж", "\U0001F600"}},
                 {be, {}, 1201, {"1", "é"}},
                 {"n\tm\nK\x81hn\t\"\"\"\"\n", dos, 850, {"Kühn", "\""}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.last.front().toStdString());
        EXPECT_EQ(openBytes(c.bytes, c.options)->codePage(), c.codePage);
        EXPECT_EQ(rowsOf(c.bytes, c.options).back(), c.last);
    }
}

// An unbalanced quote costs at most its own record, never the rest of the file.
TEST(DelimitedReader, UnbalancedQuotesDoNotSwallowTheFile)
{
    const std::vector<QStringList> atEnd = {
        {"a", "b"}, {"1", "2"}, {"\"open", "3"}, {"4", "5"}, {"6", "7"}};
    EXPECT_EQ(rowsOf("a,b\n1,2\n\"open,3\n4,5\n6,7\n"), atEnd);

    // A stray quote that a second one far below would close.
    QByteArray csv = "a,b\n\"stray,1\n";
    for (int i = 0; i < 2000; ++i)
        csv += "row" + QByteArray::number(i) + ",x\n";
    csv += "late\",2\nend,3\n";
    const std::vector<QStringList> rows = rowsOf(csv);
    ASSERT_EQ(rows.size(), 2004u); // the names, 2003 records
    EXPECT_EQ(rows[1], QStringList({"\"stray", "1"}));
    EXPECT_EQ(rows[2002], QStringList({"late\"", "2"}));
    EXPECT_EQ(rows[2003], QStringList({"end", "3"}));
}

TEST(DelimitedReader, RecordsAcrossBlockBoundariesAndTheLengthCap)
{
    // Quoted line breaks and CR LF pairs land on every possible offset of the 256 KiB blocks.
    QByteArray csv = "id,text\r\n";
    int count = 0;
    while (csv.size() < 700 * 1024) {
        ++count;
        csv += QByteArray::number(count) + ",\"multi\r\nline \"\"" + QByteArray(count % 97, 'x') +
               "\"\"\"\r\n";
    }
    auto reader = openBytes(csv);
    QVariantList values;
    int seen = 0;
    while (reader->next(values)) {
        ++seen;
        ASSERT_EQ(values[0].toInt(), seen);
        ASSERT_EQ(values[1].toString(), QStringLiteral("multi\r\nline \"") +
                                            QString(seen % 97, u'x') + QStringLiteral("\""));
    }
    EXPECT_EQ(seen, count);
    EXPECT_EQ(reader->status().message(), QString());

    QByteArray huge = "a\nfirst\n" + QByteArray(DelimitedReader::kMaxRecordBytes + 10, 'y');
    auto capped = openBytes(huge);
    ASSERT_TRUE(capped->next(values));
    EXPECT_FALSE(capped->next(values));
    EXPECT_EQ(capped->status().message(),
              QStringLiteral("The file t.csv cannot be read: the record at line 3 is longer "
                             "than 16 MiB."));
}

// A read the disk refuses stops the reader: the records before it were given, and the status
// names the file and the system's reason, whether the fault comes at the opening or later.
TEST(DelimitedReader, AFailedReadStopsWithTheSystemsReason)
{
    QByteArray csv = "id,text\n";
    for (int i = 1; csv.size() < 1024 * 1024; ++i)
        csv += QByteArray::number(i) + ",some words of text\n";
    const QString expected =
        QStringLiteral("The file t.csv cannot be read: %1.").arg(systemErrorText(EIO));

    auto reader = DelimitedReader::open(std::make_unique<FailingSource>(csv, 300 * 1024),
                                        QStringLiteral("t.csv"));
    ASSERT_TRUE(reader) << reader.message().toStdString();
    QVariantList values;
    int seen = 0;
    while ((*reader)->next(values))
        ASSERT_EQ(values[0].toInt(), ++seen);
    EXPECT_GT(seen, 0);
    EXPECT_FALSE((*reader)->status().ok());
    EXPECT_EQ((*reader)->status().message(), expected);

    auto atOnce =
        DelimitedReader::open(std::make_unique<FailingSource>(csv, 0), QStringLiteral("t.csv"));
    EXPECT_EQ(atOnce.message(), expected);
}

// A header line far longer than the first 64 KiB still splits as the file says; past the
// documented caps the message says which one.
TEST(DelimitedReader, AHeaderLineIsAsLongAsTheFileSays)
{
    for (const char delimiter : {',', ';', '\t'}) {
        QByteArray csv = "Name";
        for (int i = 1; i <= 10000; ++i)
            csv += delimiter + QByteArray("Field with a long name number ") + QByteArray::number(i);
        ASSERT_GT(csv.size(), 256 * 1024);
        csv += "\nSmith";
        for (int i = 1; i <= 10000; ++i)
            csv += delimiter + QByteArray::number(i * 7);
        csv += "\n";
        auto reader = openBytes(csv);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->delimiter(), delimiter);
        ASSERT_EQ(reader->fields().size(), 10001u);
        EXPECT_EQ(reader->fields()[10000].name,
                  QStringLiteral("Field with a long name number 10000"));
        QVariantList values;
        ASSERT_TRUE(reader->next(values));
        EXPECT_EQ(values[0].toString(), QStringLiteral("Smith"));
        EXPECT_EQ(values[5000].toString(), QStringLiteral("35000"));
        EXPECT_FALSE(reader->next(values));
        EXPECT_EQ(reader->status().message(), QString());
    }

    QByteArray wide = "a";
    for (int i = 1; i <= DelimitedReader::kMaxFields; ++i)
        wide += ",f" + QByteArray::number(i);
    wide += "\n1,2\n";
    auto tooWide = DelimitedReader::open(memorySource(wide), QStringLiteral("t.csv"));
    EXPECT_EQ(tooWide.message(),
              QStringLiteral("The file t.csv cannot be read: its first line names more than 16384 "
                             "fields."));

    QByteArray endless = "a," + QByteArray(DelimitedReader::kMaxRecordBytes + 10, 'h') + "\n1,2\n";
    auto tooLong = DelimitedReader::open(memorySource(endless), QStringLiteral("t.csv"));
    EXPECT_EQ(tooLong.message(), QStringLiteral("The file t.csv cannot be read: the record at "
                                                "line 1 is longer than 16 MiB."));
}

TEST(DelimitedReader, APipeIsNeverOpened)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto fromFifo = DelimitedReader::open(fifo); // no writer: an open that waited would hang
    EXPECT_EQ(fromFifo.message(), QStringLiteral("The file %1 cannot be read: it is not a "
                                                 "regular file.")
                                      .arg(fifo));
}
