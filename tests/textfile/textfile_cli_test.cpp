#include "support/cli_runner.h"

#include <gtest/gtest.h>

using namespace quenda::test;

TEST(CliTextFile, WritesTheFileAndPrintsWhereOrSaysWhyNot)
{
    TempPlaces places(false);
    const QByteArray contents = "Name,City\r\nAnn,Oslo\r\n";
    const QString sheet = places.writeFile("in.csv", contents);
    const CliRun desktop = runCli(places, {"textfile", sheet});
    EXPECT_EQ(desktop.status, 0) << desktop.err.toStdString();
    EXPECT_EQ(desktop.out, "File saved on " + places.desktopDir() + "/QDFile.txt\n");
    EXPECT_TRUE(readAll(places.desktopDir() + "/QDFile.txt").contains("Oslo"));

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

    // The source named as the output: refused by the same-file check, nothing written.
    const CliRun same = runCli(places, {"textfile", sheet, "--out", sheet});
    EXPECT_EQ(same.status, 1);
    EXPECT_TRUE(same.err.contains("own source") && same.err.contains(sheet))
        << same.err.toStdString();
    EXPECT_TRUE(same.out.isEmpty());
    EXPECT_EQ(readAll(sheet), contents);
}
