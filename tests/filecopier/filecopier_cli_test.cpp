#include "db/database.h"
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

    // The same a.xls was recorded twice; one vanished file makes the copy fail as a whole.
    ASSERT_TRUE(QFile::remove(pdf));
    run = files(places, {QStringLiteral("copy"), QStringLiteral("--scheme"),
                         QStringLiteral("Year\\Month"), QStringLiteral("--desktop")});
    EXPECT_EQ(run.status, 1);
    const QString copier = places.desktopDir() + QStringLiteral("/File Copier");
    EXPECT_EQ(run.out,
              QStringLiteral("File saved to folder ") + copier + QStringLiteral(" is completed\n"));
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
