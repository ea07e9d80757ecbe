#include "db/batched_writer.h"
#include "db/contacts.h"
#include "db/database.h"
#include "db/folder_schemes.h"
#include "db/launcher.h"
#include "db/mapping_schemes.h"
#include "db/schema.h"
#include "db/setup.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace quenda;
using namespace quenda::test;

namespace {

QStringList columnsOf(QSqlDatabase &db, const QString &table)
{
    QStringList out;
    const QSqlRecord record = db.record(table);
    for (int i = 0; i < record.count(); ++i)
        out << record.fieldName(i);
    return out;
}

QVariant scalar(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        return QVariant();
    return q.value(0);
}

int rowsOf(QSqlDatabase &db, const QString &table)
{
    return scalar(db, QStringLiteral("select count(*) from ") + table).toInt();
}

} // namespace

TEST(Database, FreshFileHoldsTheWholeSchemaItsRowsAndTheVersion)
{
    TempPlaces places;
    EXPECT_TRUE(places.databasePath().endsWith(QLatin1String("/QUENDADATA.Dll")));
    auto connection = places.connect();
    QSqlDatabase &db = connection->db();

    for (const QString table :
         {"QD_SETUP", "qd_tooltip", "qd_mapfields", "quenda_Ipod", "Quenda_IpodScan",
          "Quenda_IpodScanedtxt", "qd_ScanFile", "qd_ScanExe", "ButtonLauncher", "qd_ScanFolder"})
        EXPECT_FALSE(columnsOf(db, table).isEmpty()) << table.toStdString();
    EXPECT_EQ(columnsOf(db, QStringLiteral("cnt_main")).size(), 76);
    EXPECT_EQ(rowsOf(db, QStringLiteral("QD_SETUP")), 1);
    EXPECT_EQ(*schemaVersion(db), currentSchemaVersion());
    EXPECT_FALSE(tooltipText(db, QStringLiteral("UTL0038"))->isEmpty());
    EXPECT_EQ(*tooltipText(db, QStringLiteral("nope")), QString());
    EXPECT_TRUE(*hasFreeLauncherButton(db));
}

TEST(Database, FoundUnderAnyLetterCaseUnusableFilesAreNamedAndASuiteDatabaseIsKept)
{
    TempPlaces places(false);
    const QString lower = QDir(places.programDir()).filePath(QStringLiteral("quendadata.dll"));
    ASSERT_TRUE(ensureDatabase(lower));
    EXPECT_EQ(places.databasePath(), lower);
    EXPECT_EQ(QDir(places.programDir()).entryList(QDir::Files).size(), 1);

    QFile::remove(lower);
    const QString path = places.databasePath();
    places.writeFile(QStringLiteral("program/QUENDADATA.Dll"), QByteArray(4096, 'x'));
    Status broken = ensureDatabase(path);
    EXPECT_TRUE(broken.message().contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(broken.message().contains(QLatin1String("not a database")))
        << broken.message().toStdString();

    QFile::remove(path);
    {
        Connection c(path);
        QSqlQuery(c.db()).exec(QStringLiteral("create table other (x)"));
    }
    EXPECT_TRUE(ensureDatabase(path).message().contains(QLatin1String("no table QD_SETUP")));
    {
        Connection c(path);
        QSqlQuery(c.db()).exec(QStringLiteral("create table QD_SETUP (Key text)"));
    }
    EXPECT_TRUE(ensureDatabase(path).message().contains(QLatin1String("no row")));

    // The suite's own database with its row gets the module's tables and keeps its data.
    {
        Connection c(path);
        QSqlQuery(c.db()).exec(QStringLiteral("insert into QD_SETUP values ('TextFile')"));
    }
    ASSERT_TRUE(ensureDatabase(path));
    Connection c(path);
    EXPECT_EQ(rowsOf(c.db(), QStringLiteral("QD_SETUP")), 1);
    EXPECT_EQ(*readStartupKeyword(c.db()), QStringLiteral("textfile"));
    EXPECT_FALSE(columnsOf(c.db(), QStringLiteral("Quenda_IpodScan")).isEmpty());
}

TEST(Schema, FirstReleaseDatabaseIsUpgradedWithoutLosingRows)
{
    TempPlaces places(false);
    const QString path = places.databasePath();
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUENDA_TEST_DATA_DIR "/db/first-release.Dll"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        Connection before(path);
        ASSERT_EQ(*schemaVersion(before.db()), 0);
    }
    ASSERT_TRUE(ensureDatabase(path));
    ASSERT_TRUE(ensureDatabase(path)) << "a second start finds nothing to do";

    Connection c(path);
    QSqlDatabase &db = c.db();
    EXPECT_EQ(*schemaVersion(db), currentSchemaVersion());
    EXPECT_EQ(*readStartupKeyword(db), QStringLiteral("notes"));
    EXPECT_EQ(*contactNames(db), (QStringList{"Dentist", "O'Brien", "Дмитрий"}));
    EXPECT_EQ(rowsOf(db, QStringLiteral("Quenda_IpodScan")), 1);
    EXPECT_EQ(*mappingSchemeNames(db), QStringList{"Outlook"});
    EXPECT_EQ(*folderSchemeNames(db), QStringList{"Home"});
    EXPECT_EQ(scalar(db, QStringLiteral("select Title from ButtonLauncher where button_id = 1")),
              QStringLiteral("Editor"));
    EXPECT_EQ(rowsOf(db, QStringLiteral("ButtonLauncher")), kFreeLauncherButtons);
    EXPECT_EQ(rowsOf(db, QStringLiteral("qd_tooltip")), 3);
}

TEST(Schema, AFailedStepLeavesTheDatabaseAsItWasAndLaterVersionsAreRefused)
{
    TempPlaces places;
    auto c = places.connect();
    QSqlDatabase &db = c->db();
    const int before = currentSchemaVersion();
    const SchemaStep steps[] = {
        {before, nullptr},
        {before + 1,
         [](QSqlDatabase &d) -> Status {
             QSqlQuery q(d);
             if (!q.exec(QStringLiteral("create table half_done (x)")))
                 return sqlError(q);
             return fail(QStringLiteral("step broke"));
         }},
    };
    const Status failed = upgradeSchema(db, steps);
    EXPECT_TRUE(failed.message().contains(QLatin1String("step broke")));
    EXPECT_EQ(*schemaVersion(db), before);
    EXPECT_TRUE(columnsOf(db, QStringLiteral("half_done")).isEmpty()) << "rolled back";

    QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = %1").arg(before + 5));
    c.reset();
    const Status later = ensureDatabase(places.databasePath());
    EXPECT_FALSE(later);
    EXPECT_TRUE(later.message().contains(QLatin1String("later release")))
        << later.message().toStdString();
}

// Another program reading the organizer database holds a read transaction; opening it again
// must not wait for a write lock it does not need.
TEST(Schema, OpeningBesideAReaderNeedsNoWriteLock)
{
    TempPlaces places;
    auto reader = places.connect();
    QSqlQuery hold(reader->db());
    ASSERT_TRUE(hold.exec(QStringLiteral("begin")));
    ASSERT_TRUE(hold.exec(QStringLiteral("select count(*) from cnt_main")) && hold.next());
    {
        Connection impatient(places.databasePath(), BusyWait::None);
        const Status opened = upgradeSchema(impatient.db());
        EXPECT_TRUE(opened) << opened.message().toStdString();
    }
    const Status ensured = ensureDatabase(places.databasePath());
    EXPECT_TRUE(ensured) << ensured.message().toStdString();
}

TEST(Database, WaitsForAnotherWriterBeforeGivingUp)
{
    TempPlaces places;
    const QString path = places.databasePath();
    std::atomic<bool> locked{false};
    std::thread writer([&] {
        Connection c(path);
        QSqlQuery q(c.db());
        q.exec(QStringLiteral("begin exclusive"));
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        q.exec(QStringLiteral("commit"));
    });
    while (!locked)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    {
        // The default wait outlasts a writer that holds the file for a while.
        Connection patient(path);
        EXPECT_TRUE(writeStartupKeyword(patient.db(), QStringLiteral("notes")));
    }
    writer.join();
    Connection c(path);
    EXPECT_EQ(*readStartupKeyword(c.db()), QStringLiteral("notes"));
}

TEST(BatchedWriter, CommitsInBatchesAndRowsLeftUnfinishedAreRolledBack)
{
    TempPlaces places;
    auto c = places.connect();
    auto other = places.connect();
    JobControl control;
    const QString insert =
        QStringLiteral("insert into qd_mapfields (SchemeName, intRow) values (?, ?)");
    {
        BatchedWriter writer(c->db(), insert, control, 3);
        ASSERT_TRUE(writer.status());
        for (int i = 0; i < 7; ++i)
            writer.add({QStringLiteral("S"), i}, QStringLiteral("row %1").arg(i));
        EXPECT_EQ(writer.committed(), 6);
        EXPECT_EQ(rowsOf(other->db(), QStringLiteral("qd_mapfields")), 6);
        ASSERT_TRUE(writer.finish());
        EXPECT_EQ(rowsOf(other->db(), QStringLiteral("qd_mapfields")), 7);
        writer.add({QStringLiteral("S"), 8}, QStringLiteral("row 8"));
    }
    EXPECT_EQ(rowsOf(other->db(), QStringLiteral("qd_mapfields")), 7);
    EXPECT_TRUE(control.failures().empty());

    BatchedWriter broken(c->db(), QStringLiteral("insert into no_such_table values (?)"), control);
    EXPECT_FALSE(broken.status());
    EXPECT_FALSE(broken.add({1}, QStringLiteral("/x")));
    ASSERT_EQ(control.failures().size(), 1u);
    EXPECT_EQ(control.failures()[0].path, QStringLiteral("/x"));
}

TEST(BatchedWriter, ABatchWhoseCommitFailsIsReportedRowByRow)
{
    TempPlaces places;
    Connection writerConnection(places.databasePath(), BusyWait::Short);
    auto reader = places.connect();
    QSqlQuery hold(reader->db());
    // A reader in the middle of a read transaction keeps the writer from committing.
    ASSERT_TRUE(hold.exec(QStringLiteral("begin")));
    ASSERT_TRUE(hold.exec(QStringLiteral("select count(*) from QD_SETUP")) && hold.next());

    JobControl control;
    BatchedWriter writer(writerConnection.db(),
                         QStringLiteral("insert into qd_mapfields (SchemeName) values (?)"),
                         control, 2);
    writer.add({QStringLiteral("A")}, QStringLiteral("/docs/a.txt"));
    writer.add({QStringLiteral("B")}, QStringLiteral("/docs/b.txt")); // the batch is full
    ASSERT_EQ(control.failures().size(), 2u);
    EXPECT_EQ(control.failures()[1].path, QStringLiteral("/docs/b.txt"));
    EXPECT_TRUE(control.failures()[0].reason.contains(QLatin1String("locked")))
        << control.failures()[0].reason.toStdString();
    EXPECT_EQ(writer.lost(), 2);

    hold.finish();
    ASSERT_TRUE(hold.exec(QStringLiteral("commit")));
    writer.add({QStringLiteral("C")}, QStringLiteral("/docs/c.txt"));
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(writer.committed(), 1);
    EXPECT_EQ(rowsOf(reader->db(), QStringLiteral("qd_mapfields")), 1);
}

TEST(Database, NeverMadeThroughADanglingLinkAndAnEmptyFileIsMadeAnew)
{
    TempPlaces places(false);
    const QDir dir(places.programDir());
    const QString real = dir.filePath(QStringLiteral("quendadata.dll"));
    ASSERT_TRUE(ensureDatabase(real));
    const QString elsewhere = places.root() + QStringLiteral("/elsewhere.dll");
    ASSERT_TRUE(QFile::link(elsewhere, dir.filePath(QStringLiteral("QUENDADATA.Dll"))));
    EXPECT_EQ(locateDatabaseFile(places.programDir()), real);

    ASSERT_TRUE(QFile::remove(real));
    const Status refused = ensureDatabase(locateDatabaseFile(places.programDir()));
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().contains(QStringLiteral("link")))
        << refused.message().toStdString();
    EXPECT_FALSE(QFileInfo::exists(elsewhere));

    // What a database deleted while in use leaves behind holds nothing and is made anew.
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("QUENDADATA.Dll"))));
    {
        QFile empty(real);
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(ensureDatabase(real));
    Connection c(real);
    const Result<QString> keyword = readStartupKeyword(c.db());
    ASSERT_TRUE(keyword) << keyword.message().toStdString();
}
