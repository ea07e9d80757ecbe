#include "db/database.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
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

} // namespace

TEST(Database, FreshFileHoldsTheWholeSchemaAndItsRows)
{
    TempPlaces places;
    EXPECT_TRUE(places.databasePath().endsWith(QLatin1String("/QUENDADATA.Dll")));
    auto connection = places.connect();
    QSqlDatabase &db = connection->db();

    for (const char *table :
         {"QD_SETUP", "qd_tooltip", "cnt_main", "qd_mapfields", "quenda_Ipod", "Quenda_IpodScan",
          "Quenda_IpodScanedtxt", "qd_ScanFile", "qd_ScanExe", "ButtonLauncher", "qd_ScanFolder"})
        EXPECT_FALSE(columnsOf(db, QString::fromLatin1(table)).isEmpty()) << table;

    EXPECT_EQ(columnsOf(db, QStringLiteral("cnt_main")).size(), 76);
    EXPECT_EQ(
        columnsOf(db, QStringLiteral("qd_ScanFolder")),
        (QStringList{"FolderPath", "FolderName", "FolderSize", "SelectFolder", "ScheemeName"}));
    EXPECT_EQ(scalar(db, QStringLiteral("select count(*) from QD_SETUP")).toInt(), 1);
    EXPECT_TRUE(scalar(db, QStringLiteral("select Key from QD_SETUP")).isNull());
    for (const char *code : {"LS0017", "LS0027", "UTL0038"})
        EXPECT_FALSE(tooltipText(db, QString::fromLatin1(code)).isEmpty()) << code;
    EXPECT_GT(
        scalar(db, QStringLiteral("select count(*) from ButtonLauncher where VISIBLE = 0")).toInt(),
        0);
}

TEST(Database, ContactsGetWholeNumberIdsAndCompareWithoutCase)
{
    TempPlaces places;
    auto connection = places.connect();
    QSqlDatabase &db = connection->db();
    ASSERT_TRUE(execBound(db, QStringLiteral("insert into cnt_main (NAME, M_BD) values (?, ?)"),
                          {QStringLiteral("O'Brien"), QStringLiteral("1980-02-29")}));
    ASSERT_TRUE(execBound(db, QStringLiteral("insert into cnt_main (NAME) values (?)"),
                          {QStringLiteral("Dentist")}));
    QSqlQuery q(db);
    ASSERT_TRUE(execBound(q, QStringLiteral("select ID, M_BD from cnt_main where name = ?"),
                          {QStringLiteral("o'brien")}));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).typeId(), QMetaType::LongLong);
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(q.value(1).toString(), QStringLiteral("1980-02-29"));

    // The send step looks every name up: it must not scan the table.
    QSqlQuery explain(db);
    ASSERT_TRUE(
        explain.exec(QStringLiteral("explain query plan select * from cnt_main where name = 'x'")));
    QString plan;
    while (explain.next())
        plan += explain.value(3).toString();
    EXPECT_TRUE(plan.contains(QLatin1String("INDEX"))) << plan.toStdString();
}

TEST(Database, FoundUnderAnyLetterCase)
{
    TempPlaces places(false);
    const QString lower = QDir(places.programDir()).filePath(QStringLiteral("quendadata.dll"));
    QString error;
    ASSERT_TRUE(ensureDatabase(lower, &error)) << error.toStdString();
    {
        Connection c(lower);
        ASSERT_TRUE(writeStartupKeyword(c.db(), QStringLiteral("Notes")));
    }
    EXPECT_EQ(places.databasePath(), lower);
    ASSERT_TRUE(ensureDatabase(places.databasePath(), &error));
    // No second file under the default spelling.
    EXPECT_EQ(QDir(places.programDir()).entryList(QDir::Files).size(), 1);
    Connection c(places.databasePath());
    EXPECT_EQ(readStartupKeyword(c.db()), QStringLiteral("notes"));
}

TEST(Database, UnusableFilesAreReportedByName)
{
    TempPlaces places(false);
    const QString path = places.databasePath();
    QString error;

    places.writeFile(QStringLiteral("program/QUENDADATA.Dll"), QByteArray(4096, 'x'));
    EXPECT_FALSE(ensureDatabase(path, &error));
    EXPECT_TRUE(error.contains(QDir::toNativeSeparators(path))) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String("not a database"))) << error.toStdString();

    QFile::remove(path);
    {
        Connection c(path);
        QSqlQuery(c.db()).exec(QStringLiteral("create table QD_SETUP (Key text)"));
    }
    EXPECT_FALSE(ensureDatabase(path, &error));
    EXPECT_TRUE(error.contains(QLatin1String("no row"))) << error.toStdString();

    QFile::remove(path);
    {
        Connection c(path);
        QSqlQuery(c.db()).exec(QStringLiteral("create table other (x)"));
    }
    EXPECT_FALSE(ensureDatabase(path, &error));
    EXPECT_TRUE(error.contains(QLatin1String("QD_SETUP"))) << error.toStdString();

    QFile::remove(path);
    QDir().mkpath(path);
    EXPECT_FALSE(ensureDatabase(path, &error));
    EXPECT_TRUE(error.contains(QLatin1String("not a file"))) << error.toStdString();
}

TEST(Database, SuiteDatabaseGetsTheModuleTablesAndKeepsItsData)
{
    TempPlaces places(false);
    const QString path = places.databasePath();
    {
        Connection c(path);
        QSqlQuery q(c.db());
        q.exec(QStringLiteral("create table QD_SETUP (Key text)"));
        q.exec(QStringLiteral("insert into QD_SETUP values ('TextFile')"));
    }
    QString error;
    ASSERT_TRUE(ensureDatabase(path, &error)) << error.toStdString();
    Connection c(path);
    EXPECT_EQ(scalar(c.db(), QStringLiteral("select count(*) from QD_SETUP")).toInt(), 1);
    EXPECT_EQ(readStartupKeyword(c.db()), QStringLiteral("textfile"));
    EXPECT_FALSE(columnsOf(c.db(), QStringLiteral("Quenda_IpodScan")).isEmpty());
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
        Connection c(path);
        EXPECT_TRUE(writeStartupKeyword(c.db(), QStringLiteral("notes")));
    }
    writer.join();
    Connection c(path);
    EXPECT_EQ(readStartupKeyword(c.db()), QStringLiteral("notes"));
}

TEST(Database, KeywordIsLowerCasedClearedAndNullIsEmpty)
{
    TempPlaces places;
    auto connection = places.connect();
    QSqlDatabase &db = connection->db();
    bool ok = false;
    EXPECT_EQ(readStartupKeyword(db, &ok), QString());
    EXPECT_TRUE(ok);
    ASSERT_TRUE(writeStartupKeyword(db, QStringLiteral("SendToIpod ")));
    EXPECT_EQ(readStartupKeyword(db), QStringLiteral("sendtoipod "));
    ASSERT_TRUE(clearStartupKeyword(db));
    const QVariant key = scalar(db, QStringLiteral("select Key from QD_SETUP"));
    EXPECT_FALSE(key.isNull());
    EXPECT_EQ(key.toString(), QString());
}
