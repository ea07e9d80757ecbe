#include "db/database.h"
#include "fs/fresh_folder.h"
#include "fs/fs_fixture.h"
#include "support/cli_runner.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

CliRun files(const TempPlaces &places, const QStringList &args)
{
    return runCli(places, QStringList{"files"} + args);
}

} // namespace

TEST(FilesCommandLine, ScanListSelectCopyAndShortcut)
{
    TempPlaces places;
    const QString root = places.root();
    const QString kid = places.writeFile("Mum's Files/Kid's Report.doc", "kid");
    const QString pdf = places.writeFile("Mum's Files/scan.PDF", "pdf");
    places.writeFile("Work/Jan/a.xls", "xls");
    {
        auto c = places.connect();
        for (const char *folder : {"Mum's Files", "Work"})
            ASSERT_TRUE(
                execBound(c->db(),
                          QStringLiteral("Insert Into qd_ScanFolder(FolderPath,FolderName,"
                                         "SelectFolder,ScheemeName) values(?,?,1,'Home')"),
                          {QDir(root).filePath(QLatin1String(folder)), QLatin1String(folder)}));
    }

    EXPECT_EQ(files(places, {"scan", "--scheme", "Home"}).out, "3 files recorded\n");
    EXPECT_EQ(files(places, {"scan", QDir(root).filePath("Work")}).out, "1 file recorded\n");
    EXPECT_NE(files(places, {"scan", "--scheme", "Nobody"}).status, 0);

    ASSERT_EQ(files(places, {"select", kid}).status, 0);
    EXPECT_EQ(files(places, {"list", "--tab", "Word"}).out, "Kid's Report.doc\t" + kid + "\t1\n");
    EXPECT_EQ(files(places, {"select", "--tab", "Acrobat"}).out, "1 of 4 files ticked\n");
    EXPECT_NE(files(places, {"select", QDir(root).filePath("nowhere.doc")}).status, 0);

    ASSERT_EQ(files(places, {"select", "--all"}).status, 0);
    const QString out = QDir(root).filePath("out");
    CliRun run = files(places, {"copy", "--keep-original", "--to", out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Copy Complete\n");
    EXPECT_TRUE(QFileInfo::exists(out + "/Mum's Files/Kid's Report.doc"));

    // The same a.xls was recorded twice; one vanished file makes the copy fail as a whole, and
    // then no completion is claimed: the failures are all it says.
    ASSERT_TRUE(QFile::remove(pdf));
    run = files(places, {"copy", "--scheme", "Year\\Month", "--desktop"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QString());
    EXPECT_TRUE(run.err.contains(pdf) && run.err.contains("1 file was not copied."))
        << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(places.desktopDir() + "/File Copier/" +
                                  QString::number(QDate::currentDate().year())));
    EXPECT_EQ(files(places, {"copy", "--scheme", "Year/Month", "--desktop"}).status, 2);

    run = files(places, {"shortcut", kid});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Shortcut create successfully\n");
}

TEST(FilesCommandLine, CopiesTellEveryReplacedFileAndOnlyThenClaimSuccess)
{
    TempPlaces places;
    const QString a = places.writeFile("A/report.doc", "from A");
    const QString b = places.writeFile("B/report.doc", "from B");
    const QString sheet = places.writeFile("B/sheet.xls", "new sheet");
    const QString dest = QDir(places.root()).filePath("dest");
    places.writeFile("dest/sheet.xls", "the user's sheet");
    ASSERT_EQ(files(places, {"scan", QFileInfo(sheet).path()}).status, 0);

    // A file that was there before is replaced, as the copy always did, but named.
    ASSERT_EQ(files(places, {"select", sheet}).status, 0);
    CliRun run = files(places, {"copy", "--all-in-one", "--to", dest});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Copy Complete\n");
    EXPECT_TRUE(
        run.err.contains("1 copy replaced a file that was already there:\n" + dest + "/sheet.xls"))
        << run.err.toStdString();

    // Two ticked files of one name (B's is listed first): both are named, and that is no
    // success.
    ASSERT_EQ(files(places, {"scan", QFileInfo(a).path()}).status, 0);
    ASSERT_EQ(files(places, {"select", a, b}).status, 0);
    run = files(places, {"copy", "--all-in-one", "--to", dest});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QString());
    EXPECT_TRUE(run.err.contains(dest + "/report.doc: " + a + " replaced the copy of " + b))
        << run.err.toStdString();
}

TEST(FilesCommandLine, ACopyIntoFileCopierIsRefusedWhileAnotherRunsAndScansKeepToTheirMount)
{
    TempPlaces places;
    const QString doc = places.writeFile("src/a.doc", "a");
    const QString root = QDir(places.root()).filePath("root");
    places.writeFile("root/one.doc", "one");
    ASSERT_EQ(files(places, {"scan", QFileInfo(doc).path()}).status, 0);
    ASSERT_EQ(files(places, {"select", "--all"}).status, 0);
    const QString copier = places.desktopDir() + "/File Copier";
    const QStringList toDesktop{"copy", "--all-in-one", "--desktop"};

    // Another copy holds the folder: this one is refused and removes nothing.
    {
        JobControl other;
        Result<PreparedFolder> held = prepareFolderForCopy(copier, {}, LockWait::Refuse, other);
        ASSERT_TRUE(held) << held.message().toStdString();
        const CliRun run = files(places, toDesktop);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, QString());
        EXPECT_TRUE(run.err.contains("Another copy into " + copier + " is running"))
            << run.err.toStdString();
    }
    EXPECT_EQ(files(places, toDesktop).status, 0);

    // A scan stays on the mount it starts on: a root bound inside itself is listed once.
    QDir().mkpath(root + "/A");
    BindMount loop(root, root + "/A");
    if (!loop.mounted())
        GTEST_SKIP() << "bind mounts need root";
    EXPECT_EQ(files(places, {"scan", root}).out, "1 file recorded\n");
    EXPECT_EQ(files(places, {"scan", root, "--other-mounts"}).out, "2 files recorded\n");
}
