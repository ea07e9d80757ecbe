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
        return places.writeFile("people.csv", "Nm;Tel\nO'Brien;555 1\nZoë;555 2\n");
    }

    TempPlaces places;
};

} // namespace

TEST_F(CliImportTest, FieldsAndRunThroughAGivenMappingEmptyRecordsCountedAndCardsToo)
{
    const QString file =
        places.writeFile("gaps.csv", "Nm;Tel\nO'Brien;555 1\n;\n  ;  \nZoë;555 2\n");
    const CliRun fields = run({"import", "fields", file, "--kind", "Text;"});
    ASSERT_EQ(fields.status, 0) << fields.err.toStdString();
    EXPECT_EQ(fields.out, "Nm\nTel\n");

    const CliRun imported =
        run({"import", "run", file, "--kind=Text;", "--map", "name=Nm", "--map", "H_PH1=Tel"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out,
              QStringLiteral(" Imported  \n2 contact(s) added\n2 records were skipped: every "
                             "field of each was empty or blank.\n"));
    EXPECT_EQ(contacts(), 2);

    // A card file is one more kind of source; how its cards are read is the card reader's test.
    const QString cards =
        places.writeFile("phone.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEND:VCARD\r\n"
                                      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Zoë\r\nEND:VCARD\r\n");
    const CliRun vcard = run({"import", "run", cards, "--kind", "vCard", "--map", "NAME=FN"});
    ASSERT_EQ(vcard.status, 0) << vcard.err.toStdString();
    EXPECT_EQ(contacts(), 4);
}

// Ctrl+C in the middle of an import: the run keeps nothing and says only that.
TEST_F(CliImportTest, AnInterruptedRunSaysNothingWasImported)
{
    QByteArray many = "Nm;Tel\n";
    for (int i = 0; i < 400000; ++i)
        many += "Person " + QByteArray::number(i) + ";555 " + QByteArray::number(i) + '\n';
    const QString file = places.writeFile("many.csv", many);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUENDA_PROGRAM_DIR", places.programDir());
    env.insert("QUENDA_DESKTOP_DIR", places.desktopDir());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUENDA_CLI_PATH),
                  {"import", "run", file, "--kind", "Text;", "--map", "NAME=Nm"});
    ASSERT_TRUE(process.waitForStarted());
    // The rollback journal appears once the import writes its first rows: it runs now.
    const QString journal = places.databasePath() + "-journal";
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
    EXPECT_EQ(err, "The import was cancelled; nothing was imported.\n");
    EXPECT_FALSE(out.contains(QLatin1String("Imported")));
    EXPECT_EQ(contacts(), 0);
}

TEST_F(CliImportTest, MistakesAreReportedAndImportNothing)
{
    const CliRun kind = run({"import", "fields", people(), "--kind", "access"});
    EXPECT_EQ(kind.status, 2);
    EXPECT_EQ(kind.err, QStringLiteral("Invalid Database Type \n"
                                       "KIND is one of: Access, \"Text;\", \"FoxPro 2.0;\", "
                                       "\"FoxPro 2.5;\", \"FoxPro 2.6;\", \"FoxPro 3.0;\", "
                                       "\"dBASE III;\", \"dBASE IV;\", \"dBASE 5.0;\", vCard\n"));

    // A database that cannot be read is a failure of the run, not a mistake in the arguments.
    const QString damaged = places.writeFile("damaged.mdb", QByteArray(4096, 'x'));
    for (const char *sub : {"fields", "run"}) {
        const CliRun access = run({"import", sub, damaged, "--kind", "Access", "--map", "NAME=Nm"});
        EXPECT_EQ(access.status, 1) << sub << ": " << access.err.toStdString();
        EXPECT_TRUE(access.err.contains(QLatin1String("damaged.mdb"))) << access.err.toStdString();
    }

    // An unknown column, an unknown field, a missing file: each is named on stderr.
    const std::pair<QStringList, const char *> refused[] = {
        {{people(), "--map", "SHOE=Nm"}, "SHOE"},
        {{people(), "--map", "NAME=Nm", "--map", "FIRST=Vorname"}, "\"Vorname\""},
        {{places.root() + "/none.csv", "--map", "NAME=Nm"}, "none.csv"}};
    for (const auto &[args, named] : refused) {
        const CliRun r = run(QStringList{"import", "run", "--kind", "Text;"} + args);
        EXPECT_NE(r.status, 0) << named;
        EXPECT_TRUE(r.err.contains(QLatin1String(named))) << r.err.toStdString();
    }
    EXPECT_EQ(contacts(), 0);
}

TEST_F(CliImportTest, TablesOfAnAccessDatabase)
{
    const QString file = fixturePath("mdb/DateTestDatabase.mdb");
    if (!QFile::exists(file))
        GTEST_SKIP() << "fixture folder absent";
    const CliRun tables = run({"import", "tables", file});
    ASSERT_EQ(tables.status, 0) << tables.err.toStdString();
    EXPECT_EQ(tables.out, "DateTest\n");
    const CliRun imported =
        run({"import", "run", file, "--kind", "Access", "--map", "NAME=ShortTextCol"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(contacts(), 6) << "the first table, as the window opens it";
}

TEST_F(CliImportTest, ASuggestedMappingOrASavedSchemeDrivesTheRunAndGivenMapsWin)
{
    const QString file = places.writeFile(
        "export.csv",
        "First Name,Last Name,Display Name,E-mail Address,Mobile Phone,Pager\n"
        "Ann,Lee,Ann Lee,ann@example.org,555 1,p1\nBob,Roe,Bob Roe,bob@example.org,555 2,p2\n");
    const CliRun suggested = run({"import", "fields", file, "--kind", "Text;", "--suggest"});
    ASSERT_EQ(suggested.status, 0) << suggested.err.toStdString();
    EXPECT_EQ(suggested.out, QStringLiteral("FIRST=First Name\nLAST=Last Name\nNAME=Display Name\n"
                                            "H_EMAIL1=E-mail Address\nMOBILE=Mobile Phone\n"));

    // The printed lines are --map arguments as they stand; --map beside --auto-map wins.
    const CliRun imported =
        run({"import", "run", file, "--kind", "Text;", "--auto-map", "--map", "MOBILE=Pager"});
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    auto c = places.connect();
    EXPECT_EQ(columnValues(c->db(), "LAST"), (QStringList{"Lee", "Roe"}));
    EXPECT_EQ(columnValues(c->db(), "MOBILE"), (QStringList{"p1", "p2"})) << "the given map wins";

    // Nothing to suggest is nothing to import; a scheme does not mix with either.
    const CliRun none = run({"import", "run", people(), "--kind", "Text;", "--auto-map"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "Fields Not Selected\n");
    const CliRun mixed =
        run({"import", "run", file, "--kind", "Text;", "--auto-map", "--scheme", "x"});
    EXPECT_EQ(mixed.status, 2);
    EXPECT_EQ(contacts(), 2);

    // A saved scheme drives a run too; it keeps the important fields only.
    const CliRun saved = run({"import", "save-scheme", "Mum's", "--map", "NAME=Nm"});
    ASSERT_EQ(saved.status, 0) << saved.err.toStdString();
    EXPECT_EQ(saved.out, "Scheme saved successfully\n");
    EXPECT_NE(run({"import", "save-scheme", "Spouse only", "--map", "SPOUSE=Nm"}).status, 0);
    EXPECT_EQ(run({"import", "run", people(), "--kind", "Text;", "--scheme", "mum's"}).status, 0);
    EXPECT_EQ(contacts(), 4);
    EXPECT_NE(run({"import", "run", people(), "--kind", "Text;", "--scheme", "Nope"}).status, 0);
}

TEST_F(CliImportTest, DuplicatesOfStoredContactsAreCountedAndImportedOrSkipped)
{
    const QString first = places.writeFile(
        "first.csv",
        "Nm;Tel;Mail\nAnn Lee;+1 (555) 0100;\nBob Roe;;Bob@Example.org\nCy Poe;555 0300;\n");
    const auto map = [](const QStringList &args) {
        return args +
               QStringList{"--map", "NAME=Nm", "--map", "MOBILE=Tel", "--map", "H_EMAIL1=Mail"};
    };
    ASSERT_EQ(run(map({"import", "run", first, "--kind", "Text;"})).status, 0);

    // Same name in another case and with blanks, the same digits or the same address in another
    // case: duplicates. Same name without a shared number or address, or a shared number under
    // another name: new contacts. Two equal new records are not compared with each other.
    const QString second = places.writeFile(
        "second.csv", "Nm;Tel;Mail\n  ann LEE ;15550100;\nbob roe;999;bob@example.ORG\n"
                      "Cy Poe;555 0399;cy@example.org\nDee Ray;555 0300;\n"
                      "Eve Fox;1;\nEve Fox;1;\n");
    const CliRun imported = run(map({"import", "run", second, "--kind", "Text;"}));
    ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral(" Imported  \n6 contact(s) added\n2 records are stored "
                                           "contacts already (same name, and a phone number or "
                                           "e-mail address in common): imported all the same.\n"));
    EXPECT_EQ(contacts(), 9);

    // Every record of the file is a stored contact now: all six are skipped.
    const CliRun skipped =
        run(map({"import", "run", second, "--kind", "Text;", "--duplicates", "skip"}));
    ASSERT_EQ(skipped.status, 0) << skipped.err.toStdString();
    EXPECT_EQ(skipped.out, QStringLiteral(" Imported  \n0 contact(s) added\n6 records are stored "
                                          "contacts already (same name, and a phone number or "
                                          "e-mail address in common): skipped.\n"));
    EXPECT_EQ(contacts(), 9);

    const CliRun wrong =
        run(map({"import", "run", second, "--kind", "Text;", "--duplicates", "merge"}));
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains(QLatin1String("merge")));
    EXPECT_EQ(contacts(), 9);
}
