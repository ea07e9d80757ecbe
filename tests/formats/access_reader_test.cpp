#include "formats/access_reader.h"
#include "formats/mdb_protocol.h"
#include "formats/mdb_stream.h"
#include "reader_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace quenda;
using namespace quenda::test;
namespace proto = quenda::mdbproto;

namespace {

const QString kFixture = QStringLiteral(QUENDA_FIXTURES_DIR "/mdb/DateTestDatabase.mdb");

// Messages of the helper's stream, written by hand.
QByteArray message(char tag, const QByteArray &payload = {})
{
    QByteArray m(1, tag);
    const auto n = quint32(payload.size());
    for (int i = 0; i < 4; ++i)
        m.append(char((n >> (8 * i)) & 0xFF));
    return m + payload;
}

QByteArray opening()
{
    return QByteArray(proto::kMagic, 4) + char(proto::kVersion);
}

QByteArray field(proto::FieldCode code, const QByteArray &name)
{
    return message(proto::kField, QByteArray(1, char(code)) + QByteArray("\x0A\0\0\0", 4) + name);
}

QByteArray textValue(const QByteArray &utf8)
{
    QByteArray v(1, char(proto::kValueText));
    const auto n = quint32(utf8.size());
    for (int i = 0; i < 4; ++i)
        v.append(char((n >> (8 * i)) & 0xFF));
    return v + utf8;
}

QByteArray dayValue(double day)
{
    QByteArray v(1, char(proto::kValueDay));
    v.append(reinterpret_cast<const char *>(&day), 8);
    return v;
}

// A stand-in helper: a shell script, with the given parts of output between which it waits for
// one byte of credit from the reader.
class FakeHelper {
public:
    FakeHelper()
    {
        m_database = m_dir.filePath(QStringLiteral("fake.mdb"));
        writeFile(m_database, QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2048, 0));
    }

    void script(const QString &body)
    {
        writeFile(m_dir.filePath(QStringLiteral("helper.sh")), ("#!/bin/sh\n" + body).toUtf8());
        QFile::setPermissions(m_dir.filePath(QStringLiteral("helper.sh")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void streams(const QList<QByteArray> &parts)
    {
        QString body;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString part = m_dir.filePath(QStringLiteral("part%1").arg(i));
            writeFile(part, parts[i]);
            if (i > 0)
                body += QStringLiteral("dd bs=1 count=1 of=/dev/null status=none || exit 9\n");
            body += QStringLiteral("cat '%1'\n").arg(part);
        }
        script(body);
    }

    AccessOptions options(int silenceMs = 10000) const
    {
        return AccessOptions{m_dir.filePath(QStringLiteral("helper.sh")), silenceMs};
    }
    QString database() const { return m_database; }

private:
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
    QString m_database;
};

// The fixture's oracle files: its name followed by the suffix.
QByteArray fixtureBytes(const QString &suffix)
{
    QFile file(kFixture + suffix);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

AccessOptions realHelper()
{
    return AccessOptions{QStringLiteral(QUENDA_MDB_READER_PATH), 30000};
}

} // namespace

TEST(AccessDates, DayNumbersAcrossTheWholeRangeOfAccess)
{
    const auto at = [](int y, int m, int d, int h = 0, int min = 0, int s = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, min, s), QTimeZone::utc());
    };
    EXPECT_EQ(accessDateTime(0), at(1899, 12, 30));
    EXPECT_EQ(accessDateTime(1.5), at(1899, 12, 31, 12));
    // Before 1899-12-30 the day counts back but the time of day still counts forward.
    EXPECT_EQ(accessDateTime(-1.25), at(1899, 12, 29, 6));
    EXPECT_EQ(accessDateTime(2958465 + 86399.0 / 86400), at(9999, 12, 31, 23, 59, 59));
    EXPECT_EQ(accessDateTime(-657434), at(100, 1, 1));
    EXPECT_EQ(accessDateTime(36526.99999999999), at(2000, 1, 2)); // rounds to midnight
    EXPECT_FALSE(accessDateTime(std::nan("")).isValid());
    EXPECT_FALSE(accessDateTime(3e6).isValid());
    EXPECT_FALSE(accessDateTime(-1e9).isValid());
}

TEST(MdbStream, EventsComeOutWhateverTheSizeOfThePieces)
{
    const QByteArray stream =
        opening() + message(proto::kCodePage, QByteArray("\xB0\x04\0\0", 4)) +
        field(proto::kFieldText, "Name") + field(proto::kFieldDate, "Born") +
        message(proto::kHeaderEnd) + message(proto::kRecord, textValue("Zoë") + dayValue(2.75)) +
        message(proto::kBatchEnd) + message(proto::kRecord, QByteArray(1, 0) + QByteArray(1, 0)) +
        message(proto::kEnd);
    for (int piece : {1, 3, 7, 1000}) {
        MdbStream parser;
        std::vector<MdbStream::Event> events;
        std::vector<QVariantList> records;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            parser.append(stream.mid(at, piece));
            for (auto e = parser.next(); e != MdbStream::Event::NeedMore; e = parser.next()) {
                events.push_back(e);
                if (e == MdbStream::Event::Record)
                    records.push_back(parser.values());
                ASSERT_NE(e, MdbStream::Event::Garbled) << parser.text().toStdString();
                if (e == MdbStream::Event::End)
                    break;
            }
        }
        using E = MdbStream::Event;
        EXPECT_EQ(events, (std::vector<E>{E::CodePage, E::Field, E::Field, E::HeaderEnd, E::Record,
                                          E::BatchEnd, E::Record, E::End}));
        EXPECT_EQ(parser.codePage(), 1200);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0], (QVariantList{QStringLiteral("Zoë"), QDate(1900, 1, 1)}));
        EXPECT_EQ(records[1], (QVariantList{QVariant(), QVariant()}));
    }
}

TEST(MdbStream, AnythingOffTheProtocolIsGarbled)
{
    const QByteArray header =
        opening() + field(proto::kFieldText, "A") + message(proto::kHeaderEnd);
    const QList<QByteArray> bad = {
        "MDBQ\x01",                                                           // wrong opening
        header + message(proto::kRecord, textValue("a") + textValue("b")),    // too many values
        header + message(proto::kRecord, QByteArray("\x01\xFF\xFF\0\0x", 6)), // text past the end
        header + message(proto::kRecord, QByteArray(1, 9)),                   // unknown value kind
        header + field(proto::kFieldText, "late"),             // a field after the header
        opening() + message(proto::kRecord, QByteArray(1, 0)), // a record before it
        opening() + QByteArray("R\xFF\xFF\xFF\x7F", 5),        // 2 GiB announced
        opening() + message('Q'),                              // unknown message
        opening() + message(proto::kEnd) + "x",                // more after the end
    };
    for (const QByteArray &stream : bad) {
        MdbStream parser;
        parser.append(stream);
        MdbStream::Event e;
        do
            e = parser.next();
        while (e != MdbStream::Event::NeedMore && e != MdbStream::Event::Garbled);
        EXPECT_EQ(e, MdbStream::Event::Garbled) << stream.toHex().toStdString();
    }
}

TEST(AccessReaderFixture, TablesAndTheDateTableWithDatesLibmdbGetsWrong)
{
    if (!QFileInfo::exists(kFixture))
        GTEST_SKIP() << "fixture folder absent";
    auto tables = accessTables(kFixture, realHelper());
    ASSERT_TRUE(tables.ok()) << tables.message().toStdString();
    const QString oracle = QString::fromUtf8(fixtureBytes(QStringLiteral(".tables.oracle.txt")));
    EXPECT_EQ(*tables, oracle.split(u'\n', Qt::SkipEmptyParts));

    auto reader = AccessReader::open(kFixture, QStringLiteral("DateTest"), realHelper());
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    EXPECT_EQ((*reader)->codePage(), 1200);
    const auto &fields = (*reader)->fields();
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ((*reader)->fieldNames(), QStringList({"IDCol", "DateTimeCol", "DateCol", "TimeCol",
                                                    "LongTextCol", "ShortTextCol"}));
    EXPECT_EQ(fields[0].type, FieldType::Integer);
    EXPECT_EQ(fields[1].type, FieldType::DateTime);
    EXPECT_EQ(fields[4].type, FieldType::Memo);
    EXPECT_EQ(fields[5].type, FieldType::Text);
    EXPECT_EQ(fields[5].size, 255); // 510 bytes of UCS-2

    // mdb-export's oracle holds the ID and text columns as they are; its dates outside 1900 to
    // 4637 are wrong ("1900-01-00"). The right dates come from the day numbers stored in the
    // file (read from its bytes: 44532, 2958101, -728, -363, 2, -463126, -462760 and -462395),
    // counted in days from 1899-12-30 in the Gregorian calendar; the three rows whose dates
    // the oracle gets right agree with it.
    const std::vector<QStringList> expected =
        parseOracleCsv(fixtureBytes(QStringLiteral(".DateTest.iso.oracle.csv")));
    ASSERT_EQ(expected.size(), 7u);
    const auto day = [](qint64 n) { return QDate(1899, 12, 30).addDays(n); };
    const QDate dec2 = day(44532);
    ASSERT_EQ(dec2, QDate(2021, 12, 2));
    const std::vector<std::array<QDate, 3>> dates = {
        {dec2, dec2, dec2},
        {day(2958101), day(2958101), day(2958101)}, // 9999-01-01
        {day(-728), day(-363), day(2)},             // 1898-01-01, 1899-01-01, 1900-01-01
        {day(-463126), day(-462760), day(-462395)}, // 0632-01-01, 0633-01-01, 0634-01-01
        {dec2, dec2, dec2},
        {dec2, dec2, dec2}};
    EXPECT_EQ(day(2958101), QDate(9999, 1, 1));
    EXPECT_EQ(day(-463126), QDate(632, 1, 1));
    QVariantList v;
    for (std::size_t row = 0; row < dates.size(); ++row) {
        ASSERT_TRUE((*reader)->next(v)) << (*reader)->error().toStdString();
        const QStringList &want = expected[row + 1];
        EXPECT_EQ(v[0], QVariant(qint64(want[0].toInt())));
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(v[1 + c].toDateTime(),
                      QDateTime(dates[row][std::size_t(c)], QTime(0, 0), QTimeZone::utc()))
                << "row " << row + 1 << " column " << c + 1;
        if (dates[row][0] == dec2) {
            EXPECT_EQ(v[1].toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), want[1]);
        }
        EXPECT_EQ(v[4].toString(), want[4]); // the memo keeps its CR LF
        EXPECT_EQ(v[5].toString(), want[5]);
    }
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->error(), QString());
    EXPECT_EQ((*reader)->recordNumber(), 6);

    auto missing = AccessReader::open(kFixture, QStringLiteral("NoSuchTable"), realHelper());
    EXPECT_EQ(missing.message(), QStringLiteral("The database file %1 cannot be read: it holds "
                                                "no table named NoSuchTable.")
                                     .arg(kFixture));
}

TEST(AccessReader, SystemTablesAreHiddenByTheirExactPrefix)
{
    FakeHelper helper;
    QByteArray stream = opening();
    for (const char *name : {"MSysObjects", "Customers", "msysData", "MSysACEs", "MySys", "MSys"})
        stream += message(proto::kTable, name);
    helper.streams({stream + message(proto::kEnd)});
    auto tables = accessTables(helper.database(), helper.options());
    ASSERT_TRUE(tables.ok()) << tables.message().toStdString();
    EXPECT_EQ(*tables, QStringList({"Customers", "msysData", "MySys"}));
}

// The fake helper waits for a credit before each batch: a reader that forgot to ask would hang.
TEST(AccessReader, RecordsArriveInBatchesAskedForOneByOne)
{
    FakeHelper helper;
    const QByteArray head =
        opening() + field(proto::kFieldInteger, "N") + message(proto::kHeaderEnd);
    auto record = [](qint64 n) {
        QByteArray v(1, char(proto::kValueInteger));
        v.append(reinterpret_cast<const char *>(&n), 8);
        return message(proto::kRecord, v);
    };
    helper.streams({head, record(1) + record(2) + message(proto::kBatchEnd),
                    record(3) + message(proto::kEnd)});
    auto reader = AccessReader::open(helper.database(), QStringLiteral("T"), helper.options(5000));
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    QVariantList v;
    for (qint64 n = 1; n <= 3; ++n) {
        ASSERT_TRUE((*reader)->next(v)) << (*reader)->error().toStdString();
        EXPECT_EQ(v.front(), QVariant(n));
    }
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->error(), QString());
}

TEST(AccessReader, AFailingHelperBecomesAMessage)
{
    FakeHelper helper;
    const QString prefix =
        QStringLiteral("The database file %1 cannot be read: ").arg(helper.database());

    helper.script(QStringLiteral("kill -SEGV $$\n"));
    EXPECT_EQ(accessTables(helper.database(), helper.options()).message(),
              prefix + QStringLiteral("the reading helper stopped unexpectedly."));

    helper.script(QStringLiteral("exit 7\n"));
    EXPECT_EQ(accessTables(helper.database(), helper.options()).message(),
              prefix + QStringLiteral("the reading helper ended with code 7."));

    helper.script(QStringLiteral("echo hello\n"));
    EXPECT_EQ(accessTables(helper.database(), helper.options()).message(),
              prefix + QStringLiteral("the reading helper's answer is garbled (it does not open "
                                      "as expected)."));

    helper.script(QStringLiteral("exec sleep 30\n"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(
        AccessReader::open(helper.database(), QStringLiteral("T"), helper.options(300)).message(),
        prefix + QStringLiteral("the reading helper gave no answer for 0.3 seconds."));
    EXPECT_LT(timer.elapsed(), 5000);

    // A crash in the middle of the records ends reading with what was given.
    const QByteArray head = opening() + field(proto::kFieldText, "A") + message(proto::kHeaderEnd);
    helper.streams({head, message(proto::kRecord, textValue("one")) + "\x01\x02"});
    auto reader = AccessReader::open(helper.database(), QStringLiteral("T"), helper.options());
    ASSERT_TRUE(reader.ok());
    QVariantList v;
    ASSERT_TRUE((*reader)->next(v));
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->error(),
              prefix + QStringLiteral("the reading helper's answer ended too soon."));
}

TEST(AccessReader, FilesThatAreNoDatabasesNeverReachTheHelper)
{
    QTemporaryDir dir;
    QFile text(dir.filePath(QStringLiteral("notes.mdb")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some text, long enough to hold a header");
    text.close();
    const AccessOptions noHelper{dir.filePath(QStringLiteral("absent")), 1000};
    EXPECT_EQ(accessTables(text.fileName(), noHelper).code(), kErrorWrongFormat);
    EXPECT_EQ(
        AccessReader::open(dir.filePath(QStringLiteral("none.mdb")), QStringLiteral("T"), noHelper)
            .code(),
        kErrorFileNotFound);
}
