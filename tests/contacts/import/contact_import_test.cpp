#include "contacts/import/contact_import.h"
#include "contacts/import/field_catalogue.h"
#include "contacts/import/field_suggestion.h"
#include "db/contacts.h"
#include "fs/fs_fixture.h"
#include "import_test_support.h"
#include "support/test_places.h"

#include <QFile>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

class ContactImportTest : public ::testing::Test {
protected:
    void SetUp() override { connection = places.connect(); }
    QSqlDatabase &db() { return connection->db(); }
    bool sql(const char *statement) { return QSqlQuery(db()).exec(QString::fromUtf8(statement)); }

    ImportSource csv(const QByteArray &bytes)
    {
        return ImportSource{
            QStringLiteral("Text;"), places.writeFile(QStringLiteral("src/people.csv"), bytes), {}};
    }
    Result<ImportOutcome> run(const ImportSource &source, const std::vector<ImportPair> &pairs)
    {
        JobControl control;
        return runContactImport(places.databasePath(), source, pairs, control);
    }
    // A dBASE table that breaks off inside its third record.
    ImportSource cutTable()
    {
        QByteArray dbf = readAll(testDataPath(QStringLiteral("dbf/b_dbf_members.dbf")));
        const int headerLength = uchar(dbf[8]) | uchar(dbf[9]) << 8;
        const int recordLength = uchar(dbf[10]) | uchar(dbf[11]) << 8;
        dbf.truncate(headerLength + 2 * recordLength + 10);
        return ImportSource{
            QStringLiteral("dBASE III;"), places.writeFile(QStringLiteral("src/cut.dbf"), dbf), {}};
    }

    TempPlaces places;
    std::unique_ptr<Connection> connection;
};

ImportPair pair(const char *column, const char *field)
{
    return {QString::fromLatin1(column), QString::fromUtf8(field)};
}

// The mapping of people(): every field to its column.
const std::vector<ImportPair> kPeoplePairs{pair("NAME", "Who"), pair("H_PH1", "Tel"),
                                           pair("H_EMAIL1", "Mail")};

// A source of rows contacts "P1" to "P<rows>", long enough to fill pages of the database.
QByteArray people(int rows)
{
    QByteArray bytes = "Who,Tel,Mail\n";
    for (int i = 1; i <= rows; ++i)
        bytes += "P" + QByteArray::number(i) + ",555 " + QByteArray::number(1000000 + i) +
                 ",someone.with.a.long.address." + QByteArray::number(i) + "@example.org\n";
    return bytes;
}

// The same reader without its text path, so that every value goes through a QVariant.
class ValuesOnly final : public TableReader {
public:
    explicit ValuesOnly(TableReader &inner) : m_inner(inner) {}
    const std::vector<FieldInfo> &fields() const override { return m_inner.fields(); }
    bool next(QVariantList &values) override { return m_inner.next(values); }
    Status status() const override { return m_inner.status(); }
    int codePage() const override { return m_inner.codePage(); }
    qint64 recordNumber() const override { return m_inner.recordNumber(); }

private:
    TableReader &m_inner;
};

} // namespace

TEST_F(ContactImportTest, EveryRecordBecomesANewContactThroughTheMapping)
{
    const ImportSource source = csv("Nm;Tel\nO'Brien;555 1234\nZoë;\n");
    const auto added = run(source, {pair("NAME", "Nm"), pair("H_PH1", "tel")});
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(added->added, 2);
    EXPECT_EQ(columnValues(db(), QStringLiteral("NAME")), (QStringList{"O'Brien", "Zoë"}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("H_PH1")), (QStringList{"555 1234", "<null>"}))
        << "field names match in any letter case";

    ASSERT_TRUE(run(source, {pair("NAME", "Nm")}));
    EXPECT_EQ(contactCount(db()), 4) << "importing again adds every contact again";

    // A column named twice takes the later field; a source without records still succeeds.
    ASSERT_TRUE(run(csv("A,B\nfirst,second\n"),
                    {pair("PRODUCT", "A"), pair("NAME", "A"), pair("Product", "B")}));
    EXPECT_EQ(columnValues(db(), QStringLiteral("PRODUCT")).last(), QStringLiteral("second"));
    const auto none = run(csv("A,B\n"), {pair("NAME", "A")});
    ASSERT_TRUE(none);
    EXPECT_EQ(none->added, 0);
}

TEST_F(ContactImportTest, RecordsWithNothingInThemAreSkippedAndCounted)
{
    const ImportSource source = csv("Nm,Tel,City\n"
                                    "Ann,1,\n"
                                    ",,\n"
                                    "   ,  ,\t\n"
                                    ",0,\n"
                                    "\"\",\" \",\n"
                                    "Bob,,Oslo\n");
    const auto added = run(source, {pair("NAME", "Nm"), pair("H_PH1", "Tel")});
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(added->added, 3);
    EXPECT_EQ(added->blankSkipped, 3);
    EXPECT_EQ(columnValues(db(), QStringLiteral("H_PH1")), (QStringList{"1", "0", "<null>"}))
        << "a field that holds anything, a zero too, makes a record";

    // A refused record is still named by its place in the source, skipped records counted.
    sql("create unique index one_phone on cnt_main (H_PH1)");
    const auto refused =
        run(csv("Who,Tel\n,\n , \nCid,1\n"), {pair("NAME", "Who"), pair("H_PH1", "Tel")});
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().contains(QLatin1String("record 3, field \"Tel\"")))
        << refused.message().toStdString();
    EXPECT_EQ(contactCount(db()), 3);
}

TEST_F(ContactImportTest, ThePreviewCountsTheRecordsItDoesNotShowAndABrokenSourceImportsNothing)
{
    const ImportSource source = csv("N\nP1\nP2\nP3\n");
    JobControl control;
    const auto cut = readSourcePreview(source, 2, 1, control);
    ASSERT_TRUE(cut) << cut.message().toStdString();
    EXPECT_EQ(cut->rows, (std::vector<QStringList>{{"", "P1"}, {"", "P2"}}));
    EXPECT_EQ(previewExtentText(*cut), QStringLiteral("showing the first 2 of 3 rows"));
    const auto whole = readSourcePreview(source, 3, 1, control);
    ASSERT_TRUE(whole);
    EXPECT_EQ(previewExtentText(*whole), QString()) << "every row is shown: nothing to say";

    // A source that breaks off past the rows shown keeps them and says where the count ended.
    const ImportSource cutShort = cutTable();
    const auto broken = readSourcePreview(cutShort, 1, 1, control);
    ASSERT_TRUE(broken) << broken.message().toStdString();
    EXPECT_EQ(broken->rows.size(), 1u);
    EXPECT_TRUE(previewExtentText(*broken).startsWith(
        QLatin1String("showing the first 1 of at least 2 rows; the count stopped: ")))
        << previewExtentText(*broken).toStdString();
    EXPECT_FALSE(readSourcePreview(cutShort, 10, 1, control)) << "a fault among the rows shown";

    // Imported, it stops the whole import and names the record.
    sql("insert into cnt_main (NAME) values ('Kept')");
    const auto imported = run(cutShort, {pair("NAME", "SURNAME")});
    EXPECT_TRUE(!imported && imported.message().contains(QLatin1String("record 3")))
        << imported.message().toStdString();
    EXPECT_EQ(contactCount(db()), 1);
}

TEST_F(ContactImportTest, FaultsFoundBeforeWritingNameTheFieldOrColumn)
{
    const ImportSource source = csv("Nm,Tel\nAnn,1\n");
    const auto missingField = run(source, {pair("NAME", "Nm"), pair("H_PH1", "Phone")});
    EXPECT_FALSE(missingField);
    EXPECT_TRUE(missingField.message().contains(QLatin1String("\"Phone\"")))
        << missingField.message().toStdString();
    const auto missingColumn = run(source, {pair("SHOE_SIZE", "Nm")});
    EXPECT_TRUE(missingColumn.message().contains(QLatin1String("SHOE_SIZE")))
        << "the unknown column stops it before writing";
    EXPECT_EQ(run(source, {}).message(), QStringLiteral("Fields Not Selected"));
    EXPECT_EQ(
        run(ImportSource{QStringLiteral("Text;"), QString(), {}}, {pair("NAME", "Nm")}).message(),
        QStringLiteral("Item Not Selected"));
    EXPECT_EQ(contactCount(db()), 0);
}

// SQLite ends the whole transaction by itself on some faults; the import must then stop, not
// store the rows of the failed statement one by one outside of any transaction.
TEST_F(ContactImportTest, AFaultOfTheDatabaseItselfKeepsTheContactsExactlyAsTheyWere)
{
    sql("insert into cnt_main (NAME) values ('Kept')");
    sql("insert into cnt_main (NAME, H_PH1) values ('Also', '1')");
    const QStringList before = contactSnapshot(db());
    const ImportSource source = csv(people(300));
    const std::vector<ImportPair> &pairs = kPeoplePairs;
    // Each fault is met through the import's own reader and a connection of its own.
    const auto importWith = [&](QSqlDatabase &onDb) {
        auto reader = openImportSource(source);
        JobControl control;
        return reader ? importContacts(onDb, **reader, pairs, control)
                      : Result<ImportOutcome>(fail(reader.message()));
    };

    // A database that may not grow is full: nothing is kept and no record is blamed.
    {
        Connection limited(places.databasePath());
        const qint64 pages = scalar(limited.db(), QStringLiteral("pragma page_count")).toLongLong();
        QSqlQuery(limited.db()).exec(QStringLiteral("pragma max_page_count = %1").arg(pages + 4));
        const auto full = importWith(limited.db());
        ASSERT_FALSE(full);
        EXPECT_TRUE(full.message().contains(QLatin1String("database or disk is full")))
            << full.message().toStdString();
        EXPECT_FALSE(full.message().contains(QLatin1String("field"))) << "no field is to blame";
    }
    EXPECT_EQ(contactSnapshot(db()), before);

    // A commit another program keeps from happening rolls everything back too.
    {
        QSqlQuery hold(db());
        ASSERT_TRUE(hold.exec(QStringLiteral("begin")));
        ASSERT_TRUE(hold.exec(QStringLiteral("select count(*) from cnt_main")) && hold.next());
        Connection impatient(places.databasePath(), BusyWait::None);
        const auto locked = importWith(impatient.db());
        ASSERT_FALSE(locked);
        EXPECT_TRUE(locked.message().contains(QLatin1String("locked")))
            << locked.message().toStdString();
        hold.finish();
        ASSERT_TRUE(hold.exec(QStringLiteral("commit")));
    }
    EXPECT_EQ(contactSnapshot(db()), before);
    ASSERT_TRUE(run(source, pairs)) << "the same import goes through on a sound database";
    EXPECT_EQ(contactCount(db()), 302);
}

// A large import sets the plain indexes aside and builds them again; whatever way it ends, the
// table has the same indexes after it, each holding every row.
TEST_F(ContactImportTest, ALargeImportLeavesEveryIndexWholeHoweverItEnds)
{
    sql("insert into cnt_main (NAME) values ('Kept')");
    ASSERT_TRUE(sql("create index by_phone on cnt_main (H_PH1) where H_PH1 is not null"));
    ASSERT_TRUE(sql("create unique index one_mail on cnt_main (H_EMAIL1)"));
    const auto indexes = [&] {
        QStringList out;
        QSqlQuery q(db());
        q.exec(QStringLiteral("select name, sql from sqlite_master where type = 'index' and "
                              "tbl_name = 'cnt_main' order by name"));
        while (q.next())
            out << q.value(0).toString() + u'=' + q.value(1).toString();
        return out;
    };
    const auto sound = [&] {
        return scalar(db(), QStringLiteral("pragma integrity_check")).toString();
    };
    const QStringList before = indexes();
    ASSERT_EQ(before.size(), 3);
    const std::vector<ImportPair> &pairs = kPeoplePairs;

    // Refused by the unique index late on: named exactly, as the index never left.
    QByteArray twice = people(9000);
    twice.replace("address.7000@", "address.17@");
    const auto refused = run(csv(twice), pairs);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().contains(QLatin1String("record 7000, field \"Mail\"")))
        << refused.message().toStdString();
    EXPECT_EQ(indexes(), before);
    EXPECT_EQ(sound(), QStringLiteral("ok"));
    EXPECT_EQ(contactCount(db()), 1);

    // Ended by the database itself.
    sql("create trigger injected after insert on cnt_main when new.NAME = 'P8000' "
        "begin select raise(rollback, 'injected fault'); end");
    const auto injected = run(csv(people(9000)), pairs);
    ASSERT_FALSE(injected);
    EXPECT_TRUE(injected.message().startsWith(QLatin1String("Nothing was imported")) &&
                injected.message().contains(QLatin1String("injected fault")))
        << injected.message().toStdString();
    sql("drop trigger injected");
    EXPECT_EQ(indexes(), before);
    EXPECT_EQ(contactCount(db()), 1);

    const auto added = run(csv(people(9000)), pairs);
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(added->added, 9000);
    EXPECT_EQ(indexes(), before);
    EXPECT_EQ(sound(), QStringLiteral("ok"));
    EXPECT_EQ(scalar(db(), QStringLiteral("select count(*) from cnt_main indexed by "
                                          "cnt_main_name where NAME between 'P' and 'Q'"))
                  .toLongLong(),
              9000);
}

TEST_F(ContactImportTest, AFullDiskKeepsTheContactsExactlyAsTheyWere)
{
    TmpfsMount disk(places.root() + QStringLiteral("/tiny"), "size=1m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    const QString path = places.root() + QStringLiteral("/tiny/QUENDADATA.Dll");
    ASSERT_TRUE(ensureDatabase(path));
    Connection c(path);
    QSqlQuery(c.db()).exec(QStringLiteral("insert into cnt_main (NAME) values ('Kept')"));
    const QStringList before = contactSnapshot(c.db());

    // Several megabytes of contacts: the database fills the disk long before the commit.
    JobControl control;
    const auto full = runContactImport(path, csv(people(60000)), kPeoplePairs, control);
    ASSERT_FALSE(full);
    EXPECT_TRUE(full.message().startsWith(QLatin1String("Nothing was imported")) &&
                full.message().contains(QLatin1String("full")))
        << full.message().toStdString();
    EXPECT_EQ(contactSnapshot(c.db()), before);
    EXPECT_EQ(scalar(c.db(), QStringLiteral("pragma integrity_check")), QStringLiteral("ok"));
}

TEST_F(ContactImportTest, AccessDatesOutsideTheUsualRangeArriveWhole)
{
    const QString file = fixturePath(QStringLiteral("mdb/DateTestDatabase.mdb"));
    if (!QFile::exists(file))
        GTEST_SKIP() << "fixture folder absent";
    qputenv("QUENDA_MDB_READER", QUENDA_MDB_READER_PATH);
    const ImportSource source{QStringLiteral("Access"), file, QStringLiteral("DateTest")};
    const auto added = run(source, {pair("NAME", "ShortTextCol"), pair("M_BD", "DateCol")});
    ASSERT_TRUE(added) << added.message().toStdString();
    EXPECT_EQ(columnValues(db(), QStringLiteral("M_BD")),
              (QStringList{"2021-12-02", "9999-01-01", "1899-01-01", "0633-01-01", "2021-12-02",
                           "2021-12-02"}));
}

TEST(ContactSchema, FirstReleaseContactsGetSizedColumnsAndOwnSizesAreKept)
{
    TempPlaces places(false);
    const QString path = places.databasePath();
    ASSERT_TRUE(QFile::copy(testDataPath(QStringLiteral("db/first-release.Dll")), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        Connection c(path);
        QSqlQuery q(c.db());
        for (const char *change : {"delete from cnt_main where ID = 3",
                                   "update cnt_main set ANNIV = '1.50' where ID = 2",
                                   "alter table cnt_main add column Extra INTEGER NOT NULL "
                                   "DEFAULT 7"})
            ASSERT_TRUE(q.exec(QString::fromUtf8(change)));
    }
    ASSERT_TRUE(ensureDatabase(path));
    Connection c(path);
    QSqlDatabase &db = c.db();
    const auto columns = contactColumnTypes(db);
    ASSERT_TRUE(columns) << columns.message().toStdString();
    QStringList types;
    for (const ContactColumnInfo &column : *columns)
        if (QStringList{"NAME", "M_BD", "Extra"}.contains(column.name))
            types << column.name + ' ' + column.declaredType;
    EXPECT_EQ(types, (QStringList{"NAME TEXT(255)", "M_BD DATE TEXT", "Extra INTEGER"}));
    // A stored text stays as it was written.
    EXPECT_EQ(scalar(db, QStringLiteral("select (select M_BD from cnt_main where ID = 1) || ' ' || "
                                        "ANNIV from cnt_main where ID = 2")),
              QStringLiteral("1980-02-29 1.50"));
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

    // A table with sizes of its own keeps them.
    TempPlaces own(false);
    const QString ownPath = own.databasePath();
    {
        Connection ownConnection(ownPath);
        QSqlQuery oq(ownConnection.db());
        oq.exec(QStringLiteral("create table QD_SETUP (Key text)"));
        oq.exec(QStringLiteral("insert into QD_SETUP values (null)"));
        oq.exec(QStringLiteral("create table cnt_main (ID INTEGER PRIMARY KEY, NAME VARCHAR(8), "
                               "FIRST VARCHAR(40))"));
    }
    ASSERT_TRUE(ensureDatabase(ownPath));
    Connection ownConnection(ownPath);
    const auto ownColumns = contactColumnTypes(ownConnection.db());
    ASSERT_TRUE(ownColumns) << ownColumns.message().toStdString();
    EXPECT_EQ(ownColumns->at(1).declaredType, QStringLiteral("VARCHAR(8)"));
}

// A source of text is stored straight from its UTF-8 bytes; it must come out exactly as the
// rules on its values give it, in every column type, for every encoding and quoting.
TEST_F(ContactImportTest, TextSourcesStoreWhatTheValueRulesGive)
{
    for (const char *column : {"AGE INTEGER", "SHORT TEXT(3)", "REMARK MEMO",
                               "KIND TEXT NOT NULL DEFAULT 'person'", "FLAG BOOLEAN"})
        ASSERT_TRUE(QSqlQuery(db()).exec(QStringLiteral("alter table cnt_main add column ") +
                                         QLatin1String(column)));
    const QByteArray block =
        "\"O'Brien, Ann\",ab\xF0\x9F\x98\x80,1980-05-17,12 kg,\"say \"\"hi\"\"\r\nbye\",y\n"
        "Zo\xC3\xAB,abcd, 1980-05-17T08:30:00 ,-3.25,,n\n"
        "\xC2\xA0,\xE3\x80\x80,,  ,\t,\n" // blanks beyond ASCII
        "\xC2\xA0x,\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9,0000-01-01,,,\n"
        "\"\",,1980-02-30,1.5e3x,\"\"\"\",\n"
        "short,,5/17/80\n";
    // UTF-8 by its first 64 KiB, with values in Windows-1252 further on; and all Windows-1252.
    QByteArray utf8 = "Nm,Short,Born,Age,Note,Flag\n";
    for (int i = 0; i < 400; ++i)
        utf8 += block;
    utf8 += "Jos\xE9,caf\xE9,,,M\xFCller\n";
    const QByteArray ansi = "Nm,Short,Born,Age,Note,Flag\n" + block + "Jos\xE9,caf\xE9\n";
    const std::vector<ImportPair> pairs{
        pair("NAME", "Nm"),     pair("SHORT", "Short"), pair("M_BD", "Born"), pair("AGE", "Age"),
        pair("REMARK", "Note"), pair("H_ADD1", "Note"), pair("KIND", "Flag"), pair("FLAG", "Flag")};
    const QLocale us(QLocale::English, QLocale::UnitedStates);

    for (const QByteArray &bytes : {utf8, ansi}) {
        const ImportSource source = csv(bytes);
        auto importOnce = [&](bool throughValues) {
            auto reader = openImportSource(source);
            EXPECT_TRUE(reader);
            ValuesOnly valuesOnly(**reader);
            EXPECT_TRUE((*reader)->givesText());
            JobControl control;
            return importContacts(db(),
                                  throughValues ? static_cast<TableReader &>(valuesOnly) : **reader,
                                  pairs, control, us);
        };
        // Emptied with its id counter, so that both paths give the same ids.
        const auto empty = [&] {
            return sql("delete from cnt_main") && sql("delete from sqlite_sequence");
        };
        ASSERT_TRUE(empty());
        const auto fast = importOnce(false);
        ASSERT_TRUE(fast) << fast.message().toStdString();
        const QStringList stored = contactSnapshot(db());
        if (bytes == utf8) {
            EXPECT_EQ(fast->added, 2001);
            EXPECT_EQ(fast->blankSkipped, 400);
            EXPECT_EQ(columnValues(db(), QStringLiteral("NAME")).mid(0, 5),
                      (QStringList{"O'Brien, Ann", "Zoë", "\u00A0x", "<null>", "short"}));
            EXPECT_EQ(columnValues(db(), QStringLiteral("REMARK")).last(),
                      QStringLiteral("Müller"));
            EXPECT_EQ(columnValues(db(), QStringLiteral("KIND")).mid(0, 3),
                      (QStringList{"y", "n", "person"}))
                << "an empty value leaves the column's default";
        }

        ASSERT_TRUE(empty());
        const auto slow = importOnce(true);
        ASSERT_TRUE(slow) << slow.message().toStdString();
        EXPECT_EQ(slow->added, fast->added);
        EXPECT_EQ(slow->blankSkipped, fast->blankSkipped);
        EXPECT_TRUE(contactSnapshot(db()) == stored) << "the two paths store alike";
    }
}

TEST_F(ContactImportTest, TypedPairsLandInTheColumnTheirTypeNamesRowByRow)
{
    // A web address book's export: each phone and address is a type beside a value, primary
    // ones starred, several values of one type in one cell, a source field of a slot's name.
    const ImportSource source =
        csv("Name,Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,"
            "E-mail 1 - Type,E-mail 1 - Value,Home Phone\n"
            "Ann,* Mobile,0400 111,Work,555 1000 ::: 555 2000,* Home,ann@example.org,\n"
            "Bob,Home,555 3000,Work Fax,555 4000,Work,bob@example.com,555 9999\n"
            "Cy,Pager,555 5000,,,Other,cy@example.net,\n");
    auto fields = importSourceFields(source);
    ASSERT_TRUE(fields) << fields.message().toStdString();
    EXPECT_EQ(fields->mid(0, 8).join(QLatin1Char('|')),
              "Name|Phone 1 - Type|Phone 1 - Value|Phone 2 - Type|Phone 2 - Value|"
              "E-mail 1 - Type|E-mail 1 - Value|Home Phone")
        << "the source's own fields stay first and as they are";
    EXPECT_FALSE(fields->mid(8).contains(QStringLiteral("Home Phone")))
        << "a slot the source has a field for is not added twice";

    const QStringList columns =
        columnsOfList(importantFieldList()) + columnsOfList(otherFieldList());
    const auto suggested = suggestMapping(*fields, columns);
    const auto added = run(source, suggested);
    ASSERT_TRUE(added) << added.message().toStdString();
    ASSERT_EQ(added->added, 3);
    // Bob's own "Home Phone" keeps its column; his typed home number goes to the next slot.
    const std::pair<const char *, QStringList> expected[] = {
        {"MOBILE", {"0400 111", "<null>", "<null>"}},
        {"W_PH1", {"555 1000", "<null>", "<null>"}},
        {"W_PH2", {"555 2000", "<null>", "<null>"}},
        {"FAX", {"<null>", "555 4000", "<null>"}},
        {"H_PH1", {"<null>", "555 9999", "<null>"}},
        {"H_PH2", {"<null>", "555 3000", "<null>"}},
        {"H_EMAIL1", {"ann@example.org", "<null>", "cy@example.net"}},
        {"B_EMAIL1", {"<null>", "bob@example.com", "<null>"}},
    };
    for (const auto &[column, values] : expected)
        EXPECT_EQ(columnValues(db(), QString::fromLatin1(column)), values) << column;
    EXPECT_TRUE(columnValues(db(), QStringLiteral("H_PH3")).contains(QStringLiteral("555 5000")) ||
                columnValues(db(), QStringLiteral("B_PH1")).contains(QStringLiteral("555 5000")))
        << "a type no slot names goes to the other phone";
}
