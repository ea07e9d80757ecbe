#include "support/cli_runner.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quenda::test;

TEST(CliTextFile, WritesTheFileAndPrintsWhereOrSaysWhyNot)
{
    TempPlaces places(false);
    const QString sheet =
        places.writeFile("in.csv", "Name,City\r\nAnn,\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1\r\n");
    const CliRun desktop = runCli(places, {"textfile", sheet});
    EXPECT_EQ(desktop.status, 0) << desktop.err.toStdString();
    EXPECT_EQ(desktop.out, "File saved on " + places.desktopDir() + "/QDFile.txt\n");
    const QByteArray bytes = readAll(places.desktopDir() + "/QDFile.txt");
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF\r\n\r\nName:       Ann\r\nCity:       "
                                 "\xce\x91\xce\xb8\xce\xae\xce\xbd\xce\xb1\r\n"));

    const QString out = places.root() + "/elsewhere.txt";
    const CliRun chosen = runCli(places, {"textfile", sheet, "--out", out, "--format", "2"});
    EXPECT_EQ(chosen.status, 0);
    EXPECT_EQ(chosen.out, "File saved on " + out + "\n");
    EXPECT_FALSE(readAll(out).endsWith("\r\n\r\n\r\n"));

    const CliRun missing = runCli(places, {"textfile", places.root() + "/none.xls"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("none.xls"));
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(runCli(places, {"textfile", sheet, "--format", "9"}).status, 2);
}

// The text file never replaces the spreadsheet it is made from, by whatever name it is given.
TEST(CliTextFile, AnOutputThatIsTheSourceIsRefusedAndNothingIsWritten)
{
    TempPlaces places(false);
    const QByteArray sheet = "Name,City\r\nAnn,Oslo\r\n";
    const QString onDesktop = places.writeFile("Desktop/QDFile.txt", sheet);
    const CliRun itself = runCli(places, {"textfile", onDesktop});
    EXPECT_EQ(itself.status, 1);
    EXPECT_TRUE(itself.err.contains("own source") && itself.err.contains(onDesktop))
        << itself.err.toStdString();
    EXPECT_EQ(readAll(onDesktop), sheet);

    const QString book = places.root() + "/work/book.xlsx";
    ASSERT_TRUE(QDir().mkpath(places.root() + "/work"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUENDA_TEST_DATA_DIR "/xls/lo_two_sheets.xlsx"), book));
    const QByteArray workbook = readAll(book);
    const QString hardLink = places.root() + "/work/hard.xlsx";
    ASSERT_EQ(::link(QFile::encodeName(book).constData(), QFile::encodeName(hardLink).constData()),
              0);
    const QString softLink = places.root() + "/work/soft.txt";
    ASSERT_TRUE(QFile::link(book, softLink));
    for (const QString &out :
         {book, places.root() + "/work/../work/./book.xlsx", hardLink, softLink}) {
        const CliRun same = runCli(places, {"textfile", book, "--out", out});
        EXPECT_EQ(same.status, 1) << out.toStdString();
        EXPECT_TRUE(same.err.contains("own source")) << same.err.toStdString();
        EXPECT_TRUE(same.out.isEmpty());
    }
    EXPECT_EQ(readAll(book), workbook);
    EXPECT_TRUE(QFileInfo(softLink).isSymLink());

    const CliRun beside =
        runCli(places, {"textfile", book, "--out", places.root() + "/work/book.txt"});
    EXPECT_EQ(beside.status, 0) << beside.err.toStdString();
}
