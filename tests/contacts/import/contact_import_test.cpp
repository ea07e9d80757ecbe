#include "contacts/import/contact_import.h"
#include "db/contacts.h"
#include "db/mapping_schemes.h"
#include "db/schema.h"
#include "import_test_support.h"
#include "support/test_places.h"
#include "support/window_controls.h"

#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

ImportSource fileSource(const QString &kind, const QString &path)
{
    ImportSource source;
    source.kind = kind;
    source.path = path;
    return source;
}

class ContactImportTest : public ::testing::Test {
protected:
    void SetUp() override { connection = places.connect(); }
    QSqlDatabase &db() { return connection->db(); }

    ImportSource csv(const QByteArray &bytes)
    {
        return fileSource(QStringLiteral("Text;"),
                          places.writeFile(QStringLiteral("src/people.csv"), bytes));
    }
    Result<qint64> run(const ImportSource &source, const std::vector<ImportPair> &pairs)
    {
        JobControl control;
        return runContactImport(places.databasePath(), source, pairs, control);
    }

    TempPlaces places;
    std::unique_ptr<Connection> connection;
};

ImportPair pair(const char *column, const char *field)
{
    return {QString::fromLatin1(column), QString::fromUtf8(field)};
}

} // namespace

TEST_F(ContactImportTest, EveryRecordBecomesANewContactThroughTheMapping)
{
    const ImportSource source = csv("Nm;Tel;Born;Firm\n"
                                    "O'Brien;555 1234;1980-05-17;Acme\n"
                                    "Zoë;;no idea;\n");
    const auto added = run(source, {pair("NAME", "Nm"), pair("H_PH1", "tel"), pair("M_BD", "Born"),
                                    pair("COMPANY", "Firm")});
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(*added, 2);
    EXPECT_EQ(columnValues(db(), QStringLiteral("NAME")), (QStringList{"O'Brien", "Zoë"}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("H_PH1")), (QStringList{"555 1234", "<null>"}))
        << "field names match in any letter case";
    EXPECT_EQ(columnValues(db(), QStringLiteral("M_BD")), (QStringList{"1980-05-17", "<null>"}));

    ASSERT_TRUE(run(source, {pair("NAME", "Nm")}));
    EXPECT_EQ(contactCount(db()), 4) << "importing again adds every contact again";
}

TEST_F(ContactImportTest, AColumnNamedTwiceTakesTheLaterFieldAndEmptySourcesStillSucceed)
{
    const ImportSource source = csv("A,B\nfirst,second\n");
    ASSERT_TRUE(run(source, {pair("PRODUCT", "A"), pair("NAME", "A"), pair("Product", "B")}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("PRODUCT")), QStringList{"second"});

    const auto none = run(csv("A,B\n"), {pair("NAME", "A")});
    ASSERT_TRUE(none);
    EXPECT_EQ(*none, 0);
}

TEST_F(ContactImportTest, TypeRulesFollowTheColumnsOfTheDatabase)
{
    QSqlQuery(db()).exec(QStringLiteral("alter table cnt_main add column AGE INTEGER"));
    QSqlQuery(db()).exec(
        QStringLiteral("alter table cnt_main add column KIND TEXT NOT NULL DEFAULT 'person'"));
    const QString longName(300, QLatin1Char('n'));
    const ImportSource source =
        csv("N,Age,Kind\n" + longName.toLatin1() + ",12 kg,firm\nb,abc,\nc,,\n");
    const std::vector<ImportPair> pairs{pair("NAME", "N"), pair("AGE", "Age"),
                                        pair("KIND", "Kind")};
    const auto added = run(source, pairs);
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(columnValues(db(), QStringLiteral("AGE")), (QStringList{"12", "0", "<null>"}))
        << "a null number leaves the column empty and the import goes on";
    EXPECT_EQ(columnValues(db(), QStringLiteral("KIND")), (QStringList{"firm", "person", "person"}))
        << "an empty value leaves the column's default";
    EXPECT_EQ(scalar(db(), QStringLiteral("select length(NAME) from cnt_main order by ID")), 255);
}

TEST_F(ContactImportTest, FaultsFoundBeforeWritingNameTheFieldOrColumn)
{
    const ImportSource source = csv("Nm,Tel\nAnn,1\n");
    const auto missingField = run(source, {pair("NAME", "Nm"), pair("H_PH1", "Phone")});
    EXPECT_FALSE(missingField);
    EXPECT_TRUE(missingField.message().contains(QLatin1String("\"Phone\"")))
        << missingField.message().toStdString();
    const auto missingColumn = run(source, {pair("SHOE_SIZE", "Nm")});
    EXPECT_TRUE(missingColumn.message().contains(QLatin1String("SHOE_SIZE")));
    EXPECT_EQ(run(source, {}).message(), QStringLiteral("Fields Not Selected"));
    EXPECT_EQ(run(fileSource(QStringLiteral("Text;"), QString()), {pair("NAME", "Nm")}).message(),
              QStringLiteral("Item Not Selected"));
    EXPECT_EQ(contactCount(db()), 0);
}

TEST_F(ContactImportTest, AFaultInTheMiddleRollsTheWholeImportBack)
{
    QSqlQuery(db()).exec(QStringLiteral("insert into cnt_main (NAME) values ('Kept')"));
    QSqlQuery(db()).exec(QStringLiteral("create unique index one_phone on cnt_main (H_PH1)"));
    const auto failed = run(csv("Who,Tel\nAnn,1\nBob,2\nCid,1\nDan,4\n"),
                            {pair("NAME", "Who"), pair("H_PH1", "Tel")});
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.message().contains(QLatin1String("record 3, field \"Tel\"")))
        << failed.message().toStdString();
    EXPECT_EQ(columnValues(db(), QStringLiteral("NAME")), QStringList{"Kept"});

    // Rows are stored many to a statement: the refused one is still named exactly.
    QByteArray many = "Who,Tel\n";
    for (int i = 1; i <= 300; ++i)
        many += "P" + QByteArray::number(i) + ',' + QByteArray::number(i == 170 ? 1010 : 1000 + i) +
                '\n';
    const auto late = run(csv(many), {pair("NAME", "Who"), pair("H_PH1", "Tel")});
    ASSERT_FALSE(late);
    EXPECT_TRUE(late.message().contains(QLatin1String("record 170, field \"Tel\"")))
        << late.message().toStdString();
    EXPECT_EQ(contactCount(db()), 1);

    // A source that breaks off while it is read: a dBASE table cut in its third record.
    const QString table = testDataPath(QStringLiteral("dbf/b_dbf_members.dbf"));
    QByteArray bytes = readAll(table);
    const int headerLength = uchar(bytes[8]) | uchar(bytes[9]) << 8;
    const int recordLength = uchar(bytes[10]) | uchar(bytes[11]) << 8;
    bytes.truncate(headerLength + 2 * recordLength + 10);
    const ImportSource cut = fileSource(QStringLiteral("dBASE III;"),
                                        places.writeFile(QStringLiteral("src/cut.dbf"), bytes));
    const auto broken = run(cut, {pair("NAME", "SURNAME")});
    ASSERT_FALSE(broken);
    EXPECT_TRUE(broken.message().contains(QLatin1String("record 3")))
        << broken.message().toStdString();
    EXPECT_EQ(contactCount(db()), 1);
}

TEST_F(ContactImportTest, ACancelKeepsNothing)
{
    QByteArray many = "N\n";
    for (int i = 0; i < 20000; ++i)
        many += "Person " + QByteArray::number(i) + '\n';
    const ImportSource source = csv(many);
    JobControl control;
    Result<qint64> result = qint64(0);
    {
        CancelAfter cancel(control, 1000);
        control.setTotal(20000);
        result = runContactImport(places.databasePath(), source, {pair("NAME", "N")}, control);
    }
    if (!result) // a fast machine may finish first; then everything is there
        EXPECT_EQ(contactCount(db()), 0) << result.message().toStdString();
    else
        EXPECT_EQ(contactCount(db()), 20000);
}

TEST_F(ContactImportTest, DbaseTablesSkipDeletedRecordsAndBringMemosAndDates)
{
    const ImportSource source =
        fileSource(QStringLiteral("dBASE IV;"),
                   testDataPath(QStringLiteral("dbf/b_dbf_customers_deleted.dbf")));
    const auto added =
        run(source, {pair("NAME", "NAME"), pair("H_EMAIL1", "EMAIL"), pair("M_BD", "LASTVISIT"),
                     pair("B_NOTE", "REMARKS"), pair("AGE_UNKNOWN_IS_NOT_HERE", "x")});
    EXPECT_FALSE(added) << "the unknown column stops it before writing";
    ASSERT_TRUE(run(source, {pair("NAME", "NAME"), pair("H_EMAIL1", "EMAIL"),
                             pair("M_BD", "LASTVISIT"), pair("B_NOTE", "REMARKS")}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("NAME")),
              (QStringList{"Ingeborg Straße", "Frédéric Chopin", "Dolores Ibárruri"}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("M_BD")),
              (QStringList{"2023-03-03", "2022-10-17", "2023-05-20"}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("H_EMAIL1")).at(1), QStringLiteral("<null>"));
    EXPECT_EQ(columnValues(db(), QStringLiteral("B_NOTE")).at(2),
              QStringLiteral("Allergic to nuts.\r\nAlways table 4."));
}

TEST_F(ContactImportTest, AccessDatesOutsideTheUsualRangeArriveWhole)
{
    const QString file = fixturePath(QStringLiteral("mdb/DateTestDatabase.mdb"));
    if (!QFile::exists(file))
        GTEST_SKIP() << "fixture folder absent";
    qputenv("QUENDA_MDB_READER", QUENDA_MDB_READER_PATH);
    const ImportSource source{QStringLiteral("Access"), file, QStringLiteral("DateTest")};
    const auto added = run(source, {pair("NAME", "ShortTextCol"), pair("M_BD", "DateCol"),
                                    pair("ANNIV", "TimeCol"), pair("B_NOTE", "LongTextCol")});
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(*added, 6);
    EXPECT_EQ(columnValues(db(), QStringLiteral("M_BD")),
              (QStringList{"2021-12-02", "9999-01-01", "1899-01-01", "0633-01-01", "2021-12-02",
                           "2021-12-02"}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("NAME")).at(1), QStringLiteral("Year 1999"));
    EXPECT_EQ(columnValues(db(), QStringLiteral("B_NOTE")).at(5),
              QStringLiteral("New line\r\nin field"));
}

TEST_F(ContactImportTest, SchemesAreReplacedWhenSavedAgainAndBindTheirNames)
{
    QStringList fields(39);
    fields[0] = QStringLiteral("Nm");
    fields[3] = QStringLiteral("O'Title");
    ASSERT_TRUE(saveMappingScheme(db(), QStringLiteral("Mum's"), fields));
    fields[0] = QStringLiteral("Name2");
    ASSERT_TRUE(saveMappingScheme(db(), QStringLiteral("Mum's"), fields));
    ASSERT_TRUE(saveMappingScheme(db(), QString(), fields)) << "the empty name is a name";

    const auto rows = mappingSchemeRows(db(), QStringLiteral("mum's"));
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 39u) << "one set of rows, not two";
    EXPECT_EQ((*rows)[0].row, 1);
    EXPECT_EQ((*rows)[0].field, QStringLiteral("Name2"));
    EXPECT_EQ((*rows)[3].field, QStringLiteral("O'Title"));
    EXPECT_EQ((*rows)[5].field, QStringLiteral("")) << "stored as empty text";
    EXPECT_EQ(*mappingSchemeNames(db()), (QStringList{"Mum's", ""}));
    EXPECT_EQ(scalar(db(), QStringLiteral("select count(*) from qd_mapfields where FiledName "
                                          "is null")),
              0);

    const QStringList important{"NAME", "FIRST", "LAST", "TITLE"};
    EXPECT_EQ(schemePairs(important, *rows),
              (std::vector<ImportPair>{pair("NAME", "Name2"), pair("TITLE", "O'Title")}))
        << "rows past the grid and empty rows are passed over";
}

TEST(ContactSchema, FirstReleaseContactsGetSizedColumnsAndKeepEveryRow)
{
    TempPlaces places(false);
    const QString path = places.databasePath();
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("db/first-release.Dll")), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        Connection c(path);
        QSqlQuery(c.db()).exec(QStringLiteral("delete from cnt_main where ID = 3"));
        QSqlQuery(c.db()).exec(QStringLiteral("update cnt_main set ANNIV = '1.50' where ID = 2"));
        QSqlQuery(c.db()).exec(
            QStringLiteral("alter table cnt_main add column Extra INTEGER NOT NULL DEFAULT 7"));
    }
    ASSERT_TRUE(ensureDatabase(path));
    Connection c(path);
    QSqlDatabase &db = c.db();
    EXPECT_EQ(*schemaVersion(db), currentSchemaVersion());
    const auto columns = contactColumnTypes(db);
    ASSERT_TRUE(columns) << columns.message().toStdString();
    QHash<QString, QString> types;
    for (const ContactColumnInfo &column : *columns)
        types.insert(column.name, column.declaredType);
    EXPECT_EQ(types.value(QStringLiteral("NAME")), QStringLiteral("TEXT(255)"));
    EXPECT_EQ(types.value(QStringLiteral("M_BD")), QStringLiteral("DATE TEXT"));
    EXPECT_EQ(types.value(QStringLiteral("Extra")), QStringLiteral("INTEGER"));
    EXPECT_EQ(*contactNames(db), (QStringList{"O'Brien", "Дмитрий"}));
    EXPECT_EQ(scalar(db, QStringLiteral("select M_BD from cnt_main where ID = 1")),
              QStringLiteral("1980-02-29"));
    EXPECT_EQ(scalar(db, QStringLiteral("select ANNIV from cnt_main where ID = 2")),
              QStringLiteral("1.50"))
        << "a stored text stays as it was written";
    EXPECT_EQ(scalar(db, QStringLiteral("select count(*) from sqlite_master where name = "
                                        "'cnt_main_name'")),
              1);
    EXPECT_EQ(scalar(db, QStringLiteral("select count(*) from cnt_main where name = 'o''brien'")),
              1)
        << "names still compare without case";
    QSqlQuery insert(db);
    ASSERT_TRUE(insert.exec(QStringLiteral("insert into cnt_main (NAME) values ('New')")));
    EXPECT_EQ(insert.lastInsertId().toLongLong(), 4) << "the id of a deleted contact stays unused";
    EXPECT_EQ(scalar(db, QStringLiteral("select Extra from cnt_main where ID = 4")), 7);
}

TEST(ContactSchema, ATableWithSizesOfItsOwnKeepsThemAndTheImportCutsToThem)
{
    TempPlaces places(false);
    const QString path = places.databasePath();
    {
        Connection c(path);
        QSqlQuery q(c.db());
        q.exec(QStringLiteral("create table QD_SETUP (Key text)"));
        q.exec(QStringLiteral("insert into QD_SETUP values (null)"));
        q.exec(QStringLiteral("create table cnt_main (ID INTEGER PRIMARY KEY, NAME VARCHAR(8), "
                              "FIRST VARCHAR(40))"));
    }
    ASSERT_TRUE(ensureDatabase(path));
    Connection c(path);
    const auto columns = contactColumnTypes(c.db());
    ASSERT_TRUE(columns) << columns.message().toStdString();
    EXPECT_EQ(columns->at(1).declaredType, QStringLiteral("VARCHAR(8)"));
    const QString file = places.writeFile(QStringLiteral("a.csv"), "N\nBartholomew\n");
    JobControl control;
    ASSERT_TRUE(runContactImport(path, fileSource(QStringLiteral("Text;"), file),
                                 {{QStringLiteral("NAME"), QStringLiteral("N")}}, control));
    EXPECT_EQ(scalar(c.db(), QStringLiteral("select NAME from cnt_main")),
              QStringLiteral("Bartholo"));
}
