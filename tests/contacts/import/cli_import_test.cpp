#include "import_test_support.h"
#include "support/cli_runner.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

class CliImportTest : public ::testing::Test {
protected:
    CliRun run(const QStringList &args) { return runCli(places, args); }
    qint64 contacts()
    {
        auto c = places.connect();
        return contactCount(c->db());
    }
    QString people()
    {
        return places.writeFile(QStringLiteral("people.csv"), "Nm;Tel\nO'Brien;555 1\nZoë;555 2\n");
    }

    TempPlaces places;
};

} // namespace

TEST_F(CliImportTest, FieldsAndRunThroughAGivenMapping)
{
    const CliRun fields = run({"import", "fields", people(), "--kind", "Text;"});
    ASSERT_EQ(fields.status, 0) << fields.err.toStdString();
    EXPECT_EQ(fields.out, QStringLiteral("Nm\nTel\n"));

    const CliRun imported =
        run({"import", "run", people(), "--kind=Text;", "--map", "name=Nm", "--map", "H_PH1=Tel"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral(" Imported  \n2 contact(s) added\n"));
    auto c = places.connect();
    EXPECT_EQ(columnValues(c->db(), QStringLiteral("NAME")), (QStringList{"O'Brien", "Zoë"}));
    EXPECT_EQ(columnValues(c->db(), QStringLiteral("H_PH1")), (QStringList{"555 1", "555 2"}));
}

TEST_F(CliImportTest, ASavedSchemeDrivesTheRun)
{
    const CliRun saved = run({"import", "save-scheme", "Mum's", "--map", "NAME=Nm"});
    ASSERT_EQ(saved.status, 0) << saved.err.toStdString();
    EXPECT_EQ(saved.out, QStringLiteral("Scheme saved successfully\n"));
    const CliRun other = run({"import", "save-scheme", "Spouse only", "--map", "SPOUSE=Nm"});
    EXPECT_NE(other.status, 0) << "a scheme keeps the important fields only";

    const CliRun imported =
        run({"import", "run", people(), "--kind", "Text;", "--scheme", "mum's"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(contacts(), 2);
    const CliRun unknown = run({"import", "run", people(), "--kind", "Text;", "--scheme", "Nope"});
    EXPECT_NE(unknown.status, 0);
}

TEST_F(CliImportTest, MistakesAreReportedAndImportNothing)
{
    const CliRun kind = run({"import", "fields", people(), "--kind", "access"});
    EXPECT_NE(kind.status, 0);
    EXPECT_EQ(kind.err.trimmed(), QStringLiteral("Invalid Database Type"));

    const CliRun column = run({"import", "run", people(), "--kind", "Text;", "--map", "SHOE=Nm"});
    EXPECT_NE(column.status, 0);
    EXPECT_TRUE(column.err.contains(QLatin1String("SHOE")));

    const CliRun field = run({"import", "run", people(), "--kind", "Text;", "--map", "NAME=Nm",
                              "--map", "FIRST=Vorname"});
    EXPECT_NE(field.status, 0);
    EXPECT_TRUE(field.err.contains(QLatin1String("\"Vorname\""))) << field.err.toStdString();

    const CliRun missing =
        run({"import", "run", places.root() + "/none.csv", "--kind", "Text;", "--map", "NAME=Nm"});
    EXPECT_NE(missing.status, 0);
    EXPECT_FALSE(missing.err.isEmpty());
    EXPECT_EQ(contacts(), 0);
}

TEST_F(CliImportTest, TablesOfAnAccessDatabase)
{
    const QString file = fixturePath(QStringLiteral("mdb/DateTestDatabase.mdb"));
    if (!QFile::exists(file))
        GTEST_SKIP() << "fixture folder absent";
    const CliRun tables = run({"import", "tables", file});
    ASSERT_EQ(tables.status, 0) << tables.err.toStdString();
    EXPECT_EQ(tables.out, QStringLiteral("DateTest\n"));
    const CliRun imported =
        run({"import", "run", file, "--kind", "Access", "--map", "NAME=ShortTextCol"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(contacts(), 6) << "the first table, as the window opens it";
}
