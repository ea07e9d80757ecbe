#include "import_test_support.h"
#include "support/cli_runner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

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

TEST_F(CliImportTest, EmptyRecordsAreSkippedAndTheRunSaysHowMany)
{
    const QString file =
        places.writeFile(QStringLiteral("gaps.csv"), "Nm;Tel\nAnn;1\n;\n  ;  \nBob;2\n");
    const CliRun imported = run({"import", "run", file, "--kind", "Text;", "--map", "NAME=Nm"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out,
              QStringLiteral(" Imported  \n2 contact(s) added\n2 records were skipped: every "
                             "field of each was empty or blank.\n"));
    EXPECT_EQ(contacts(), 2);
}

// Ctrl+C in the middle of an import: the run keeps nothing and says only that.
TEST_F(CliImportTest, AnInterruptedRunSaysNothingWasImported)
{
    QByteArray many = "Nm;Tel\n";
    for (int i = 0; i < 400000; ++i)
        many += "Person " + QByteArray::number(i) + ";555 " + QByteArray::number(i) + '\n';
    const QString file = places.writeFile(QStringLiteral("many.csv"), many);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUENDA_PROGRAM_DIR"), places.programDir());
    env.insert(QStringLiteral("QUENDA_DESKTOP_DIR"), places.desktopDir());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUENDA_CLI_PATH),
                  {"import", "run", file, "--kind", "Text;", "--map", "NAME=Nm"});
    ASSERT_TRUE(process.waitForStarted());
    // The rollback journal appears once the import writes its first rows: it runs now.
    const QString journal = places.databasePath() + QStringLiteral("-journal");
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(journal) && process.state() == QProcess::Running &&
           waited.elapsed() < 60000)
        QThread::usleep(200);
    const bool interrupted = process.state() == QProcess::Running;
    if (interrupted)
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    const QString err = QString::fromUtf8(process.readAllStandardError());
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit) << err.toStdString();
    if (process.exitCode() == 0) { // the run ended before the interrupt reached it
        EXPECT_EQ(contacts(), 400000) << "interrupted: " << interrupted;
        return;
    }
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(err, QStringLiteral("The import was cancelled; nothing was imported.\n"));
    EXPECT_FALSE(out.contains(QLatin1String("Imported")));
    EXPECT_EQ(contacts(), 0);
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
    EXPECT_EQ(kind.status, 2);
    EXPECT_EQ(kind.err, QStringLiteral("Invalid Database Type \n"
                                       "KIND is one of: Access, \"Text;\", \"FoxPro 2.0;\", "
                                       "\"FoxPro 2.5;\", \"FoxPro 2.6;\", \"FoxPro 3.0;\", "
                                       "\"dBASE III;\", \"dBASE IV;\", \"dBASE 5.0;\"\n"));

    // A database that cannot be read is a failure of the run, not a mistake in the arguments.
    const QString damaged = places.writeFile(QStringLiteral("damaged.mdb"), QByteArray(4096, 'x'));
    for (const char *sub : {"fields", "run"}) {
        const CliRun access = run({"import", sub, damaged, "--kind", "Access", "--map", "NAME=Nm"});
        EXPECT_EQ(access.status, 1) << sub << ": " << access.err.toStdString();
        EXPECT_TRUE(access.err.contains(QLatin1String("damaged.mdb"))) << access.err.toStdString();
    }

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
