#include "formats/access_reader.h"
#include "formats/mdb_protocol.h"
#include "formats/mdb_stream.h"
#include "reader_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <csignal>
#include <thread>

using namespace quenda;
using namespace quenda::test;
namespace proto = quenda::mdbproto;

namespace {

const QString kFixture = QStringLiteral(QUENDA_FIXTURES_DIR "/mdb/DateTestDatabase.mdb");

// Messages of the helper's stream, written by hand: a tag, a little-endian length, the bytes.
QByteArray message(char tag, const QByteArray &payload = {})
{
    const auto n = quint32(payload.size());
    return tag + QByteArray::fromRawData(reinterpret_cast<const char *>(&n), 4) + payload;
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
    return message(char(proto::kValueText), utf8);
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
        : m_database(writeBytes(m_dir.filePath(QStringLiteral("fake.mdb")),
                                QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(2048, 0)))
    {
    }

    void script(const QString &body)
    {
        QFile::setPermissions(writeBytes(m_dir.filePath(QStringLiteral("helper.sh")),
                                         ("#!/bin/sh\n" + body).toUtf8()),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void streams(const QList<QByteArray> &parts)
    {
        QString body;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QString part =
                writeBytes(m_dir.filePath(QStringLiteral("part%1").arg(i)), parts[i]);
            if (i > 0)
                body += QStringLiteral("dd bs=1 count=1 of=/dev/null status=none || exit 9\n");
            body += QStringLiteral("cat '%1'\n").arg(part);
        }
        script(body);
    }

    AccessOptions options(int silenceMs = 10000) const
    {
        return AccessOptions{m_dir.filePath(QStringLiteral("helper.sh")), silenceMs, {}};
    }
    QString database() const { return m_database; }

private:
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
    return AccessOptions{QStringLiteral(QUENDA_MDB_READER_PATH), 30000, {}};
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
    ASSERT_EQ((*reader)->fieldNames(), QStringList({"IDCol", "DateTimeCol", "DateCol", "TimeCol",
                                                    "LongTextCol", "ShortTextCol"}));
    EXPECT_EQ(fields[4].type, FieldType::Memo); // the other types: CorpusAccess
    EXPECT_EQ(fields[5].size, 255);             // 510 bytes of UCS-2

    // mdb-export's oracle holds the ID and text columns as they are; its dates outside 1900 to
    // 4637 are wrong ("1900-01-00"). The right dates come from the day numbers stored in the
    // file (read from its bytes: 44532, 2958101, -728, -363, 2, -463126, -462760 and -462395),
    // counted in days from 1899-12-30 in the Gregorian calendar.
    const std::vector<QStringList> expected =
        parseOracleCsv(fixtureBytes(QStringLiteral(".DateTest.iso.oracle.csv")));
    ASSERT_EQ(expected.size(), 7u);
    const auto day = [](qint64 n) { return QDate(1899, 12, 30).addDays(n); };
    const QDate dec2 = day(44532); // 2021-12-02
    const std::vector<std::array<QDate, 3>> dates = {
        {dec2, dec2, dec2},
        {day(2958101), day(2958101), day(2958101)}, // 9999-01-01
        {day(-728), day(-363), day(2)},             // 1898-01-01, 1899-01-01, 1900-01-01
        {day(-463126), day(-462760), day(-462395)}, // 0632-01-01, 0633-01-01, 0634-01-01
        {dec2, dec2, dec2},
        {dec2, dec2, dec2}};
    QVariantList v;
    for (std::size_t row = 0; row < dates.size(); ++row) {
        ASSERT_TRUE((*reader)->next(v)) << (*reader)->status().message().toStdString();
        const QStringList &want = expected[row + 1];
        EXPECT_EQ(v[0], QVariant(qint64(want[0].toInt())));
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(v[1 + c].toDateTime(),
                      QDateTime(dates[row][std::size_t(c)], QTime(0, 0), QTimeZone::utc()))
                << "row " << row + 1 << " column " << c + 1;
        EXPECT_EQ(v[4].toString(), want[4]); // the memo keeps its CR LF
        EXPECT_EQ(v[5].toString(), want[5]);
    }
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->status().message(), QString());
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
        ASSERT_TRUE((*reader)->next(v)) << (*reader)->status().message().toStdString();
        EXPECT_EQ(v.front(), QVariant(n));
    }
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->status().message(), QString());
}

TEST(AccessReader, AFailingHelperBecomesAMessage)
{
    FakeHelper helper;
    const QString prefix =
        QStringLiteral("The database file %1 cannot be read: ").arg(helper.database());

    const std::pair<const char *, const char *> endings[] = {
        {"kill -SEGV $$", "the reading helper stopped unexpectedly."},
        {"exit 7", "the reading helper ended with code 7."},
        {"echo hello", "the reading helper's answer is garbled (it does not open as expected)."}};
    for (const auto &[body, why] : endings) {
        helper.script(QString::fromLatin1(body) + u'\n');
        EXPECT_EQ(accessTables(helper.database(), helper.options()).message(),
                  prefix + QString::fromLatin1(why));
    }

    helper.script(QStringLiteral("exec sleep 30\n"));
    EXPECT_EQ(
        AccessReader::open(helper.database(), QStringLiteral("T"), helper.options(300)).message(),
        prefix + QStringLiteral("the reading helper gave no answer for 0.3 seconds."));

    // A crash in the middle of the records ends reading with what was given.
    const QByteArray head = opening() + field(proto::kFieldText, "A") + message(proto::kHeaderEnd);
    helper.streams({head, message(proto::kRecord, textValue("one")) + "\x01\x02"});
    auto reader = AccessReader::open(helper.database(), QStringLiteral("T"), helper.options());
    ASSERT_TRUE(reader.ok());
    QVariantList v;
    ASSERT_TRUE((*reader)->next(v));
    EXPECT_FALSE((*reader)->next(v));
    EXPECT_EQ((*reader)->status().message(),
              prefix + QStringLiteral("the reading helper's answer ended too soon."));
}

namespace {

// The parent process of pid as /proc tells it; 0 when pid is gone or a zombie.
pid_t liveParentOf(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (after.size() < 2 || after[0] == "Z" || after[0] == "X")
        return 0;
    return pid_t(after[1].toInt());
}

bool endsWithin(pid_t pid, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (liveParentOf(pid) != 0 && timer.elapsed() < ms)
        QThread::msleep(50);
    return liveParentOf(pid) == 0;
}

} // namespace

// A helper started for a process that is not its parent any more (the program died before the
// helper could tie its life to it) stops before it reads anything.
TEST(AccessHelper, RefusesToRunWhenTheProgramThatStartedItIsGone)
{
    for (const bool parentAlive : {false, true}) {
        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUENDA_MDB_READER_PARENT"),
                           parentAlive ? QString::number(QCoreApplication::applicationPid())
                                       : QStringLiteral("1"));
        helper.setProcessEnvironment(environment);
        helper.start(QStringLiteral(QUENDA_MDB_READER_PATH),
                     {QStringLiteral("tables"), QStringLiteral("/nonexistent.mdb")});
        ASSERT_TRUE(helper.waitForFinished(10000));
        if (parentAlive) {
            EXPECT_EQ(helper.exitCode(), proto::kExitCannotOpen);
            EXPECT_TRUE(helper.readAllStandardOutput().startsWith("QMDB"));
        } else {
            EXPECT_EQ(helper.exitCode(), proto::kExitFailed);
            EXPECT_TRUE(helper.readAllStandardOutput().isEmpty());
        }
    }
}

// A damaged database on which the library loops: the helper has a limit on processor time and
// goes the moment the program is killed.
TEST(AccessHelper, DiesWithTheProgramThatStartedIt)
{
    const QString database = corporaDir(QStringLiteral("hostile")) + "/case2_181.mdb";
    if (!QFileInfo::exists(database))
        GTEST_SKIP() << "the hostile corpus is not beside the repository";
    // A shell stands in for the program: it starts the helper as the program does, names itself
    // as the parent, and is killed.
    QProcess program;
    program.start(QStringLiteral("sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral("QUENDA_MDB_READER_PARENT=$$ \"$0\" tables \"$1\" >/dev/null & "
                                  "echo $!; wait"),
                   QStringLiteral(QUENDA_MDB_READER_PATH), database});
    ASSERT_TRUE(program.waitForReadyRead(10000));
    const pid_t helper = pid_t(program.readLine().trimmed().toInt());
    ASSERT_GT(helper, 0) << "no reading helper started";
    // The helper sets its limits as it starts.
    QByteArray cpu;
    QElapsedTimer timer;
    timer.start();
    do {
        QThread::msleep(50);
        QFile limits(QStringLiteral("/proc/%1/limits").arg(helper));
        ASSERT_TRUE(limits.open(QIODevice::ReadOnly));
        const QByteArray table = limits.readAll();
        cpu = table.mid(table.indexOf("Max cpu time")).split('\n').first().simplified();
    } while (!cpu.startsWith("Max cpu time 300") && timer.elapsed() < 10000);
    EXPECT_TRUE(cpu.startsWith("Max cpu time 300 305 seconds")) << cpu.constData();

    QThread::msleep(300);
    EXPECT_NE(liveParentOf(helper), 0) << "the damaged file no longer makes the library loop";
    program.kill();
    program.waitForFinished();
    const bool ended = endsWithin(helper, 10000);
    if (!ended)
        ::kill(helper, SIGKILL);
    EXPECT_TRUE(ended) << "the reading helper outlived the program";
}

// Cancelling, by the job's cancel state or from another thread, ends a helper that hangs (a
// real one looping on a damaged file is killed the same way: DiesWithTheProgramThatStartedIt).
TEST(AccessReader, CancelEndsAHelperThatHangs)
{
    FakeHelper fake;
    fake.script(QStringLiteral("printf 'QMDB\\001H\\000\\000\\000\\000'\nexec sleep 1000\n"));
    auto reader = AccessReader::open(fake.database(), QStringLiteral("T"), fake.options(60000));
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    std::thread canceller([&] {
        QThread::msleep(300);
        (*reader)->cancel();
    });
    QVariantList v;
    EXPECT_FALSE((*reader)->next(v));
    canceller.join();
    EXPECT_TRUE((*reader)->status().message().endsWith(QStringLiteral(": reading was cancelled.")))
        << (*reader)->status().message().toStdString();
    EXPECT_FALSE((*reader)->next(v));

    QElapsedTimer asked;
    asked.start();
    AccessOptions options = fake.options(60000);
    options.cancelled = [&] { return asked.elapsed() > 300; };
    fake.script(QStringLiteral("exec sleep 1000\n"));
    const auto tables = accessTables(fake.database(), options);
    EXPECT_TRUE(tables.message().endsWith(QStringLiteral(": reading was cancelled.")))
        << tables.message().toStdString();
}
