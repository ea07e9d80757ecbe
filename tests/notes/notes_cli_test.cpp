#include "support/cli_runner.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

CliRun cli(const TempPlaces &places, const QStringList &args)
{
    return runCli(places, QStringList{"notes"} + args);
}

} // namespace

TEST(NotesCommandLine, ScanConvertCutMergeAndAFailedDocumentByPath)
{
    TempPlaces places;
    QString longText;
    for (int i = 0; i < 150; ++i)
        longText += QChar(u'a' + i % 26);
    places.writeFile("src/Kid's Notes.RTF", "{\\rtf1\\ansi Packed lunch}");
    places.writeFile("src/long.txt", longText.toLatin1());
    const QString src = QDir(places.root()).filePath("src");

    const CliRun scan = cli(places, {"scan", src});
    ASSERT_EQ(scan.status, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.out, "There are 2 RTF & TXT Files\n");

    const CliRun convert = cli(places, {"convert"});
    ASSERT_EQ(convert.status, 0) << convert.err.toStdString();
    EXPECT_EQ(convert.out, "File Converted\n");

    const CliRun cut = cli(places, {"cut", places.stagingDir() + "/long.txt"});
    ASSERT_EQ(cut.status, 0) << cut.err.toStdString();
    EXPECT_EQ(cut.out, "long.txt0.txt\nlong.txt1.txt\n");

    const QString out = QDir(places.root()).filePath("all.rtf");
    const CliRun merge = cli(places, {"merge", out});
    ASSERT_EQ(merge.status, 0) << merge.err.toStdString();
    EXPECT_EQ(merge.out, "Merged Doc is created on " + out + "\n");

    // A document that became a folder since the scan is printed by path and fails the run.
    const QString bad = src + "/long.txt";
    QFile::remove(bad);
    QDir().mkpath(bad);
    const CliRun failed = cli(places, {"convert"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, QStringLiteral("File Converted\n1 of 2 documents could not be "
                                         "converted; their earlier notes, if any, were kept.\n"));
    EXPECT_TRUE(failed.err.startsWith(bad + ": ") && failed.err.contains("is a folder"))
        << failed.err.toStdString();

    const CliRun empty = cli(places, {"scan", places.programDir()});
    EXPECT_EQ(empty.out, "File Not Found\nThere are 0 RTF & TXT Files\n");
    EXPECT_NE(cli(places, {"scan", src + "/nope"}).status, 0);
    EXPECT_EQ(cli(places, {"frob"}).status, 2);
}
