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
    return runCli(places, QStringList{QStringLiteral("files")} + args);
}

} // namespace

TEST(FilesCommandLine, ScanListSelectCopyAndShortcut)
{
    TempPlaces places;
    const QString root = places.root();
    const QString kid = places.writeFile(QStringLiteral("Mum's Files/Kid's Report.doc"), "kid");
    const QString pdf = places.writeFile(QStringLiteral("Mum's Files/scan.PDF"), "pdf");
    places.writeFile(QStringLiteral("Work/Jan/a.xls"), "xls");
    {
        auto c = places.connect();
        for (const char *folder : {"Mum's Files", "Work"})
            ASSERT_TRUE(
                execBound(c->db(),
                          QStringLiteral("Insert Into qd_ScanFolder(FolderPath,FolderName,"
                                         "SelectFolder,ScheemeName) values(?,?,1,'Home')"),
                          {QDir(root).filePath(QLatin1String(folder)), QLatin1String(folder)}));
    }

    CliRun run =
        files(places, {QStringLiteral("scan"), QStringLiteral("--scheme"), QStringLiteral("Home")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("3 files recorded\n"));
    run = files(places, {QStringLiteral("scan"), QDir(root).filePath(QStringLiteral("Work"))});
    EXPECT_EQ(run.out, QStringLiteral("1 file recorded\n"));
    run = files(places,
                {QStringLiteral("scan"), QStringLiteral("--scheme"), QStringLiteral("Nobody")});
    EXPECT_NE(run.status, 0);

    run = files(places, {QStringLiteral("select"), kid});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    run = files(places, {QStringLiteral("list"), QStringLiteral("--tab"), QStringLiteral("Word")});
    EXPECT_EQ(run.out, QStringLiteral("Kid's Report.doc\t") + kid + QStringLiteral("\t1\n"));
    run = files(places,
                {QStringLiteral("select"), QStringLiteral("--tab"), QStringLiteral("Acrobat")});
    EXPECT_EQ(run.out, QStringLiteral("1 of 4 files ticked\n"));
    run = files(places,
                {QStringLiteral("select"), QDir(root).filePath(QStringLiteral("nowhere.doc"))});
    EXPECT_NE(run.status, 0);

    run = files(places, {QStringLiteral("select"), QStringLiteral("--all")});
    ASSERT_EQ(run.status, 0);
    const QString out = QDir(root).filePath(QStringLiteral("out"));
    run = files(places, {QStringLiteral("copy"), QStringLiteral("--keep-original"),
                         QStringLiteral("--to"), out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Copy Complete\n"));
    EXPECT_EQ(readAll(out + QStringLiteral("/Mum's Files/Kid's Report.doc")), QByteArray("kid"));
    EXPECT_EQ(readAll(out + QStringLiteral("/Jan/a.xls")), QByteArray("xls"));

    // The same a.xls was recorded twice; one vanished file makes the copy fail as a whole, and
    // then no completion is claimed: the failures are all it says.
    ASSERT_TRUE(QFile::remove(pdf));
    run = files(places, {QStringLiteral("copy"), QStringLiteral("--scheme"),
                         QStringLiteral("Year\\Month"), QStringLiteral("--desktop")});
    EXPECT_EQ(run.status, 1);
    const QString copier = places.desktopDir() + QStringLiteral("/File Copier");
    EXPECT_EQ(run.out, QString());
    EXPECT_TRUE(run.err.contains(pdf)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("1 file was not copied.")))
        << run.err.toStdString();
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_FALSE(QDir(copier + QLatin1Char('/') + year).isEmpty());

    run = files(places, {QStringLiteral("copy"), QStringLiteral("--scheme"),
                         QStringLiteral("Year/Month"), QStringLiteral("--desktop")});
    EXPECT_EQ(run.status, 2);

    run = files(places, {QStringLiteral("shortcut"), kid});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QStringLiteral("Shortcut create successfully\n"));
    EXPECT_TRUE(
        QFileInfo::exists(places.desktopDir() + QStringLiteral("/Kid's Report.doc.desktop")));
}

TEST(FilesCommandLine, CopiesTellEveryReplacedFileAndOnlyThenClaimSuccess)
{
    TempPlaces places;
    const QString a = places.writeFile(QStringLiteral("A/report.doc"), "from A");
    const QString b = places.writeFile(QStringLiteral("B/report.doc"), "from B");
    const QString sheet = places.writeFile(QStringLiteral("B/sheet.xls"), "new sheet");
    const QString dest = QDir(places.root()).filePath(QStringLiteral("dest"));
    places.writeFile(QStringLiteral("dest/sheet.xls"), "the user's sheet");
    ASSERT_EQ(files(places, {QStringLiteral("scan"), QFileInfo(sheet).path()}).status, 0);

    // A file that was there before is replaced, as the copy always did, but named.
    ASSERT_EQ(files(places, {QStringLiteral("select"), sheet}).status, 0);
    CliRun run = files(places, {QStringLiteral("copy"), QStringLiteral("--all-in-one"),
                                QStringLiteral("--to"), dest});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Copy Complete\n"));
    EXPECT_TRUE(
        run.err.contains(QStringLiteral("1 copy replaced a file that was already there:\n") + dest +
                         QStringLiteral("/sheet.xls")))
        << run.err.toStdString();
    EXPECT_EQ(readAll(dest + QStringLiteral("/sheet.xls")), QByteArray("new sheet"));

    // Two ticked files of one name (B's is listed first): both are named, and that is no
    // success.
    ASSERT_EQ(files(places, {QStringLiteral("scan"), QFileInfo(a).path()}).status, 0);
    ASSERT_EQ(files(places, {QStringLiteral("select"), a, b}).status, 0);
    run = files(places, {QStringLiteral("copy"), QStringLiteral("--all-in-one"),
                         QStringLiteral("--to"), dest});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QString());
    EXPECT_TRUE(run.err.contains(dest + QStringLiteral("/report.doc: ") + a +
                                 QStringLiteral(" replaced the copy of ") + b))
        << run.err.toStdString();
    EXPECT_EQ(readAll(dest + QStringLiteral("/report.doc")), QByteArray("from A"));
}

TEST(FilesCommandLine, ACopyIntoFileCopierIsRefusedWhileAnotherRunsOrAMountIsInside)
{
    TempPlaces places;
    const QString doc = places.writeFile(QStringLiteral("src/a.doc"), "a");
    const QString root = QDir(places.root()).filePath(QStringLiteral("root"));
    places.writeFile(QStringLiteral("root/one.doc"), "one");
    ASSERT_EQ(files(places, {QStringLiteral("scan"), QFileInfo(doc).path()}).status, 0);
    ASSERT_EQ(files(places, {QStringLiteral("select"), QStringLiteral("--all")}).status, 0);
    const QString copier = places.desktopDir() + QStringLiteral("/File Copier");
    const QStringList toDesktop{QStringLiteral("copy"), QStringLiteral("--all-in-one"),
                                QStringLiteral("--desktop")};

    // Another copy holds the folder: this one is refused and removes nothing.
    {
        JobControl other;
        Result<PreparedFolder> held = prepareFolderForCopy(copier, {}, LockWait::Refuse, other);
        ASSERT_TRUE(held) << held.message().toStdString();
        places.writeFile(QStringLiteral("Desktop/File Copier/theirs.doc"), "the other copy's");
        const CliRun run = files(places, toDesktop);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, QString());
        EXPECT_TRUE(run.err.contains(QStringLiteral("Another copy into ") + copier +
                                     QStringLiteral(" is running")))
            << run.err.toStdString();
        EXPECT_EQ(readAll(copier + QStringLiteral("/theirs.doc")), QByteArray("the other copy's"));
    }
    EXPECT_EQ(files(places, toDesktop).status, 0);

    // A folder bound inside "File Copier" keeps its files: the copy is refused by its name.
    const QString victim = places.writeFile(QStringLiteral("victim/a.txt"), "keep");
    QDir().mkpath(copier + QStringLiteral("/bm"));
    BindMount mount(QFileInfo(victim).path(), copier + QStringLiteral("/bm"));
    if (!mount.mounted())
        GTEST_SKIP() << "bind mounts need root";
    CliRun run = files(places, toDesktop);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(copier + QStringLiteral("/bm"))) << run.err.toStdString();
    EXPECT_EQ(readAll(victim), QByteArray("keep"));

    // A scan stays on the mount it starts on: a root bound inside itself is listed once.
    QDir().mkpath(root + QStringLiteral("/A"));
    BindMount loop(root, root + QStringLiteral("/A"));
    ASSERT_TRUE(loop.mounted());
    run = files(places, {QStringLiteral("scan"), root});
    EXPECT_EQ(run.out, QStringLiteral("1 file recorded\n")) << run.err.toStdString();
    run = files(places, {QStringLiteral("scan"), root, QStringLiteral("--other-mounts")});
    EXPECT_EQ(run.out, QStringLiteral("2 files recorded\n")) << run.err.toStdString();
}
