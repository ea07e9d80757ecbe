#include "formats/byte_source.h"
#include "formats/dbf_reader.h"
#include "reader_test_support.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace quenda;
using namespace quenda::test;

namespace {

struct FieldSpec {
    const char *name;
    char type;
    int length;
    int decimals = 0;
    unsigned char flags = 0; // Visual FoxPro: 0x01 system, 0x02 nullable
};

void putLe(QByteArray &b, qsizetype at, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b[at + i] = char((value >> (8 * i)) & 0xFF);
}

void putBe(QByteArray &b, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((value >> (8 * (3 - i))) & 0xFF);
}

// A table written byte by byte. Each record is its field bytes after the deletion flag, or a
// whole deleted record from its '*'.
QByteArray buildDbf(unsigned char version, const std::vector<FieldSpec> &fields,
                    const std::vector<QByteArray> &records, unsigned char languageDriver = 0,
                    qint64 claimedRecords = -1)
{
    const bool vfp = version >= 0x30 && version <= 0x32;
    const int headerLength = 32 + 32 * int(fields.size()) + 1 + (vfp ? 263 : 0);
    int recordLength = 1;
    for (const FieldSpec &f : fields)
        recordLength += f.length;
    QByteArray b(headerLength, '\0');
    b[0] = char(version);
    putLe(b, 4, claimedRecords >= 0 ? quint64(claimedRecords) : records.size(), 4);
    putLe(b, 8, quint64(headerLength), 2);
    putLe(b, 10, quint64(recordLength), 2);
    b[29] = char(languageDriver);
    int offset = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const qsizetype at = 32 + 32 * qsizetype(i);
        std::memcpy(b.data() + at, fields[i].name, std::strlen(fields[i].name));
        b[at + 11] = fields[i].type;
        if (vfp)
            putLe(b, at + 12, quint64(offset), 4);
        b[at + 16] = char(fields[i].length);
        b[at + 17] = char(fields[i].decimals);
        b[at + 18] = char(fields[i].flags);
        offset += fields[i].length;
    }
    b[32 + 32 * qsizetype(fields.size())] = 0x0D;
    for (const QByteArray &r : records) {
        EXPECT_EQ(r.startsWith('*') ? r.size() : r.size() + 1, recordLength);
        b += r.startsWith('*') ? r : ' ' + r;
    }
    return b + '\x1A';
}

QByteArray le(quint64 value, int bytes)
{
    QByteArray b(bytes, '\0');
    putLe(b, 0, value, bytes);
    return b;
}

// A FoxPro memo file with 64-byte blocks: each memo in a block of its own, from block 8.
QByteArray buildFpt(const std::vector<std::pair<quint32, QByteArray>> &memos)
{
    QByteArray b(512, '\0');
    b[7] = 64;
    for (const auto &[type, text] : memos) {
        QByteArray block(8, '\0');
        putBe(block, 0, type);
        putBe(block, 4, quint32(text.size()));
        block += text;
        block.resize((block.size() + 63) / 64 * 64, '\0');
        b += block;
    }
    return b;
}

std::unique_ptr<DbfReader> openBytes(const QByteArray &dbf, const QByteArray &memo = {},
                                     bool fpt = true, int codePage = 0)
{
    auto reader = DbfReader::open(memorySource(dbf), memo.isNull() ? nullptr : memorySource(memo),
                                  fpt, QStringLiteral("t.dbf"), codePage);
    EXPECT_TRUE(reader.ok()) << reader.message().toStdString();
    return reader.ok() ? std::move(reader.value()) : nullptr;
}

// LibreOffice shows dates as MM/DD/YY, numbers with their decimals, logicals as TRUE/FALSE:
// compare values, not their formatting.
void expectMatchesOracle(const QString &table, const QString &oracle, int codePage, bool guessed)
{
    auto reader = DbfReader::open(QStringLiteral(QUENDA_TEST_DATA_DIR "/") + table);
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    EXPECT_EQ((*reader)->codePage(), codePage);
    EXPECT_EQ((*reader)->codePageGuessed(), guessed);
    std::vector<QStringList> expected = parseOracleCsv(dataBytes(oracle));
    ASSERT_GT(expected.size(), 1u);
    const auto &fields = (*reader)->fields();
    ASSERT_EQ(qsizetype(fields.size()), expected.front().size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const QStringList header = expected.front()[qsizetype(i)].split(u',');
        EXPECT_EQ(fields[i].name, header[0]);
        if (header[1] == QLatin1String("C")) {
            EXPECT_EQ(fields[i].size, header[2].toInt());
        }
    }
    QVariantList values;
    for (std::size_t row = 1; row < expected.size(); ++row) {
        ASSERT_TRUE((*reader)->next(values)) << "row " << row;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const QString want = expected[row][qsizetype(i)];
            const QVariant &got = values[qsizetype(i)];
            switch (fields[i].type) {
            case FieldType::Date:
                EXPECT_EQ(got.toDate().toString(QStringLiteral("MM/dd/yy")), want);
                break;
            case FieldType::Integer:
            case FieldType::Number:
                EXPECT_DOUBLE_EQ(got.toDouble(), want.toDouble()) << fields[i].name.toStdString();
                break;
            case FieldType::Boolean:
                EXPECT_EQ(got.toBool() ? "TRUE" : "FALSE", want);
                break;
            default: // LibreOffice turned the memo's CR LF into LF
                EXPECT_EQ(got.toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                          want);
            }
        }
    }
    EXPECT_FALSE((*reader)->next(values));
    EXPECT_EQ((*reader)->status().message(), QString());
    EXPECT_EQ((*reader)->recordNumber(), qint64(expected.size() - 1));
}

} // namespace

TEST(DbfReaderFixtures, MatchLibreOffice)
{
    // No language driver: the DOS letters of the names give code page 850 away.
    expectMatchesOracle(QStringLiteral("dbf/b_dbf_members.dbf"),
                        QStringLiteral("dbf/b_dbf_members.oracle.csv"), 850, true);
    // Windows-1252 with a .dbt memo holding a line break; record 2 is deleted.
    expectMatchesOracle(QStringLiteral("dbf/b_dbf_customers_deleted.dbf"),
                        QStringLiteral("dbf/b_dbf_customers_deleted.oracle.csv"), 1252, true);
}

TEST(DbfReader, VisualFoxProTypesNullsAndMemoInAnyCase)
{
    const std::vector<FieldSpec> fields = {
        {"NAME", 'C', 10},         {"QTY", 'I', 4},
        {"PRICE", 'B', 8},         {"STAMP", 'T', 8},
        {"COST", 'Y', 8},          {"NOTES", 'M', 4},
        {"NICK", 'V', 6, 0, 0x02}, {"AGE", 'N', 3, 0, 0x02},
        {"PHOTO", 'G', 4},         {"_NullFlags", '0', 1, 0, 0x05}};
    double price = 12.5;
    quint64 priceBits;
    std::memcpy(&priceBits, &price, 8);
    const qint64 day = QDate(2023, 5, 20).toJulianDay();
    // NICK: bit 0 says its length is in its last byte, bit 1 that it is null; AGE: bit 2.
    const QByteArray first = "Zo\xEB \xD6\x64\xF6n  " + le(quint64(-7), 4) + le(priceBits, 8) +
                             le(quint64(day), 4) + le(13 * 3600 * 1000 + 5000, 4) +
                             le(quint64(123456), 8) + le(8, 4) + QByteArray("ab\0\0\0\2", 6) +
                             " 42" + le(0, 4) + '\x01';
    const QByteArray second = "Plain     " + le(0, 4) + le(0, 8) + le(0, 4) + le(0, 4) + le(0, 8) +
                              le(9, 4) + QByteArray(6, ' ') + "   " + le(0, 4) + '\x06';
    const QByteArray deleted = '*' + QByteArray(first.size(), 'x');
    QByteArray dbf = buildDbf(0x30, fields, {first, deleted, second}, 0x03);

    QTemporaryDir dir;
    const QString table = writeBytes(dir.filePath(QStringLiteral("people.dbf")), dbf);
    ASSERT_FALSE(writeBytes(dir.filePath(QStringLiteral("PEOPLE.FPT")),
                            buildFpt({{1, "first line\r\nsecond line"}, {0, "\x89PNG binary"}}))
                     .isEmpty());

    auto reader = DbfReader::open(table);
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    EXPECT_EQ((*reader)->fieldNames(), QStringList({"NAME", "QTY", "PRICE", "STAMP", "COST",
                                                    "NOTES", "NICK", "AGE", "PHOTO"}));
    std::vector<FieldType> types;
    for (const auto &f : (*reader)->fields())
        types.push_back(f.type);
    using T = FieldType;
    EXPECT_EQ(types, (std::vector<T>{T::Text, T::Integer, T::Number, T::DateTime, T::Currency,
                                     T::Memo, T::Text, T::Integer, T::Binary}));
    QVariantList v;
    ASSERT_TRUE((*reader)->next(v));
    EXPECT_EQ(v.mid(0, 8),
              (QVariantList{QStringLiteral("Zoë Ödön"), qint64(-7), 12.5,
                            QDateTime(QDate(2023, 5, 20), QTime(13, 0, 5), QTimeZone::utc()),
                            12.3456, QStringLiteral("first line\r\nsecond line"),
                            QStringLiteral("ab"), qint64(42)}));
    EXPECT_TRUE(v[8].isNull());
    // The deleted record is skipped; a picture memo is not text; NICK and AGE are null by flag.
    ASSERT_TRUE((*reader)->next(v));
    EXPECT_EQ(v[0], QVariant(QStringLiteral("Plain")));
    for (int i : {3, 5, 6, 7})
        EXPECT_TRUE(v[i].isNull()) << i;
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->status().message(), QString());
    EXPECT_EQ((*reader)->recordNumber(), 2);
}

TEST(DbfReader, DbaseMemoFlavoursAndAsciiBlockNumbers)
{
    const std::vector<FieldSpec> fields = {{"ID", 'N', 2}, {"TEXT", 'M', 10}};
    // dBASE IV: block size from the memo header, blocks opening with FF FF 08 00.
    QByteArray dbt(1024, '\0');
    putLe(dbt, 20, 1024, 2);
    QByteArray block("\xFF\xFF\x08\x00", 4);
    block += le(8 + 11, 4) + "hello world" + "junk after";
    dbt += block;
    auto db4 = openBytes(buildDbf(0x8B, fields, {" 1         1", " 2          "}), dbt, false);
    QVariantList v;
    ASSERT_TRUE(db4->next(v));
    EXPECT_EQ(v[1], QVariant(QStringLiteral("hello world")));
    ASSERT_TRUE(db4->next(v));
    EXPECT_TRUE(v[1].isNull());

    // FoxPro 2.x: ASCII block numbers pointing into an .fpt.
    auto fox = openBytes(buildDbf(0xF5, fields, {" 1         8"}), buildFpt({{1, "fox memo"}}));
    ASSERT_TRUE(fox->next(v));
    EXPECT_EQ(v[1], QVariant(QStringLiteral("fox memo")));
}

TEST(DbfReader, ValuesBlankOddAndOutOfRange)
{
    const std::vector<FieldSpec> fields = {
        {"N", 'N', 6, 2}, {"W", 'N', 4}, {"D", 'D', 8}, {"L", 'L', 1}, {"C", 'C', 4}};
    auto reader = openBytes(buildDbf(
        0x03, fields,
        {"  1.50 -3219120311T  x ", "      ****        ?    ", "  -.25   720230230y    "}));
    QVariantList v;
    ASSERT_TRUE(reader->next(v)); // a text's leading blanks stay, its trailing ones go
    EXPECT_EQ(v, (QVariantList{1.5, qint64(-32), QDate(1912, 3, 11), true, QStringLiteral("  x")}));
    ASSERT_TRUE(reader->next(v));
    for (const QVariant &value : v)
        EXPECT_TRUE(value.isNull()); // blank, overflow asterisks, blank date, '?', blank text
    ASSERT_TRUE(reader->next(v));
    EXPECT_EQ(v[0], QVariant(-0.25));
    EXPECT_EQ(v[1], QVariant(qint64(7)));
    EXPECT_TRUE(v[2].isNull()); // 30 February
    EXPECT_EQ(v[3], QVariant(true));
}

TEST(DbfReader, CodePageFromLanguageDriverOrCaller)
{
    const std::vector<FieldSpec> fields = {{"NAME", 'C', 3}};
    auto russian = openBytes(buildDbf(0x03, fields, {"\xCC\xE8\xF0"}, 0xC9));
    EXPECT_EQ(russian->codePage(), 1251);
    EXPECT_FALSE(russian->codePageGuessed());
    QVariantList v;
    ASSERT_TRUE(russian->next(v));
    EXPECT_EQ(v[0], QVariant(QStringLiteral("Мир")));

    auto overridden = openBytes(buildDbf(0x03, fields, {"\x8C\xA8\xE0"}, 0xC9), {}, false, 866);
    ASSERT_TRUE(overridden->next(v));
    EXPECT_EQ(v[0], QVariant(QStringLiteral("Мир")));
}

TEST(DbfReader, DamagedTablesAreReadAsFarAsTheyGo)
{
    const std::vector<FieldSpec> fields = {{"NAME", 'C', 5}, {"NOTE", 'M', 10}};
    const QByteArray memo = buildFpt({{1, "ok"}});
    QVariantList v;

    // A header claiming 2^31 records: the two present are read, then a message; nothing is
    // allocated from the claim.
    auto claims = openBytes(buildDbf(0xF5, fields,
                                     {"one  " + QByteArray(10, ' '), "two  " + QByteArray(10, ' ')},
                                     0x03, qint64(1) << 31),
                            memo);
    ASSERT_TRUE(claims->next(v));
    ASSERT_TRUE(claims->next(v));
    EXPECT_FALSE(claims->next(v));
    EXPECT_EQ(claims->status().message(),
              QStringLiteral("The file t.dbf is damaged: its header announces "
                             "2147483648 records but only 2 are present."));

    auto pointer = openBytes(buildDbf(0xF5, fields, {"one           8", "two      999999"}), memo);
    ASSERT_TRUE(pointer->next(v));
    EXPECT_EQ(v[1], QVariant(QStringLiteral("ok")));
    EXPECT_FALSE(pointer->next(v));
    EXPECT_EQ(pointer->status().message(),
              QStringLiteral("The memo file of t.dbf is damaged: a memo lies "
                             "past its end (record 2)."));

    // Fields of no width, last in the record: nothing may be read beyond them.
    auto empty = openBytes(buildDbf(
        0x30, {{"NAME", 'C', 2}, {"V", 'V', 0}, {"L", 'L', 0}, {"_NullFlags", '0', 1, 0, 0x05}},
        {"ab\x01"}));
    ASSERT_TRUE(empty->next(v));
    EXPECT_EQ(v, (QVariantList{QStringLiteral("ab"), QVariant(), QVariant()}));

    QByteArray longMemo = memo;
    putBe(longMemo, 512 + 4, 1u << 20);
    auto runs = openBytes(buildDbf(0xF5, fields, {"one           8"}), longMemo);
    EXPECT_FALSE(runs->next(v));
    EXPECT_TRUE(runs->status().message().contains(QStringLiteral("runs past its end")));
}

// A table or memo read the disk refuses stops the reader with the file and the system's reason;
// the records before it were given.
TEST(DbfReader, AFailedReadStopsWithTheSystemsReason)
{
    const std::vector<FieldSpec> fields = {{"NAME", 'C', 5}, {"NOTE", 'M', 10}};
    std::vector<QByteArray> records;
    for (int i = 0; i < 20000; ++i)
        records.push_back("name " + QByteArray(10, ' '));
    records.push_back("memo          8");
    const QByteArray table = buildDbf(0xF5, fields, records);
    const QByteArray memo = buildFpt({{1, "a memo"}});
    const QString expected =
        QStringLiteral("The file t.dbf cannot be read: %1.").arg(systemErrorText(EIO));

    for (const bool tableFails : {true, false}) {
        auto reader = DbfReader::open(
            std::make_unique<FailingSource>(table, table.size() - (tableFails ? 1000 : 0)),
            std::make_unique<FailingSource>(memo, tableFails ? memo.size() : 512), true,
            QStringLiteral("t.dbf"));
        ASSERT_TRUE(reader) << reader.message().toStdString();
        QVariantList v;
        int seen = 0;
        while ((*reader)->next(v))
            ++seen;
        EXPECT_GT(seen, 0) << tableFails;
        EXPECT_LT(seen, int(records.size())) << tableFails;
        EXPECT_EQ((*reader)->status().message(), expected) << tableFails;
    }
}

// Records that share one large memo block read it once; a memo past the cap is named.
TEST(DbfReader, SharedMemoBlocksAreReadOnceAndLongMemosAreRefused)
{
    const std::vector<FieldSpec> fields = {{"ID", 'N', 4}, {"NOTE", 'M', 10}};
    std::vector<QByteArray> records;
    for (int i = 0; i < 2000; ++i)
        records.push_back(QByteArray::number(i).rightJustified(4, ' ') + "         8");
    const QByteArray text(12 * 1024 * 1024, 'm');
    for (const bool fpt : {true, false}) {
        // dBASE III: 512-byte blocks, the text runs to its end mark.
        const auto memoOf = [&](const QByteArray &t) {
            return fpt ? buildFpt({{1, t}}) : QByteArray(8 * 512, '\0') + t + "\x1A\x1A";
        };
        const QByteArray table = buildDbf(fpt ? 0xF5 : 0x83, fields, records);
        const QByteArray memo = memoOf(text);
        qint64 read = 0;
        auto reader = DbfReader::open(memorySource(table),
                                      std::make_unique<FailingSource>(memo, memo.size(), &read),
                                      fpt, QStringLiteral("t.dbf"));
        ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
        QVariantList v;
        int count = 0;
        while ((*reader)->next(v)) {
            ++count;
            ASSERT_EQ(v[1].toString().size(), text.size()) << count;
        }
        EXPECT_EQ(count, 2000);
        EXPECT_EQ((*reader)->status().message(), QString());
        EXPECT_LT(read, 2 * text.size()) << "the memo was read again";

        auto tooLong = openBytes(table, memoOf(QByteArray(DbfReader::kMaxMemoBytes + 1, 'x')), fpt);
        EXPECT_FALSE(tooLong->next(v));
        EXPECT_EQ(tooLong->status().message(),
                  QStringLiteral("The file t.dbf cannot be read: a memo of record 1 is longer "
                                 "than 16 MiB, more than this program reads."));
    }
}

TEST(DbfReader, FilesThatAreNoTablesAreRefused)
{
    const std::vector<FieldSpec> fields = {{"NAME", 'C', 5}};
    QByteArray header = buildDbf(0x03, fields, {"abcde"});
    putLe(header, 8, 5000, 2); // header length past the end
    auto past = DbfReader::open(memorySource(header), {}, false, QStringLiteral("h.dbf"));
    EXPECT_EQ(
        past.message(),
        QStringLiteral("The file h.dbf is damaged: its header runs past the end of the file."));

    QByteArray narrow = buildDbf(0x03, fields, {"abcde"});
    putLe(narrow, 10, 3, 2); // records shorter than their fields
    EXPECT_FALSE(DbfReader::open(memorySource(narrow), {}, false, QStringLiteral("n.dbf")).ok());

    QTemporaryDir dir;
    auto noMemo = DbfReader::open(writeBytes(dir.filePath(QStringLiteral("lonely.dbf")),
                                             buildDbf(0x83, {{"NOTE", 'M', 10}}, {"         1"})));
    ASSERT_FALSE(noMemo.ok());
    EXPECT_TRUE(noMemo.message().contains(
        QStringLiteral("is missing: lonely.dbt or lonely.fpt should stand beside it")))
        << noMemo.message().toStdString();
}
