#include "support/cli_runner.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace quenda::test;

namespace {

CliRun cli(const QStringList &args)
{
    static const TempPlaces places(false);
    return runCli(places, QStringList{"split"} + args);
}

} // namespace

TEST(CliSplit, SplitsAndPrintsTheWindowsMessages)
{
    TempPlaces places(false);
    const QString path = places.writeFile("notes.txt", "a\nb\nc\n");
    const CliRun done = cli({path, "--lines", "2"});
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(done.out, "The file " + path +
                            " has been splitted into 2 files each containing  2 Lines\n"
                            "The last file may contain less then 2 Lines\n");
    EXPECT_EQ(readAll(places.root() + "/notes2.txt"), "c\r\n");

    const CliRun capped = cli({path, "--kb", "4096"});
    EXPECT_NE(capped.status, 0);
    EXPECT_EQ(capped.err, "Maximum KB = 1024\n");

    const CliRun tooSmall = cli({"--mb", "1", path});
    EXPECT_NE(tooSmall.status, 0);
    EXPECT_EQ(tooSmall.err, QStringLiteral("The file you want to split is smaller then then size "
                                           "you specified!!!\nProcess failed...\n"));

    const CliRun missing = cli({path + "x", "--lines", "2"});
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(missing.err, "File: " + path + "x not found!\nProcess failed...\n");

    // Two units are a usage error.
    EXPECT_EQ(cli({path, "--kb", "1", "--mb", "1"}).status, 2);
}
