#include "fs/fs_fixture.h"
#include "support/cli_runner.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace quenda::test;

TEST(CliPictures, ScanPrintsRowsAndSendPrintsTheWindowsMessages)
{
    TempPlaces places;
    TempTree tree;
    tree.file("Pics/Trip/Day 10/Morning/m.jpg", "m");
    tree.folder("Pics/Trip/Day 2");
    const QString pics = tree.path("Pics");

    const CliRun scan = runCli(places, {"pictures", "scan", pics + "/"});
    EXPECT_EQ(scan.status, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.out, pics + "\tTrip\t\t\t\tPics-Trip\n" + pics +
                            "\tTrip\tDay 2\t\t\tPics-Trip-Day 2\n" + pics +
                            "\tTrip\tDay 10\t\t\tPics-Trip-Day 10\n" + pics +
                            "\tTrip\tDay 10\tMorning\t\tPics-Trip-Day 10/Morning\n");

    const CliRun sent = runCli(places, {"pictures", "send"});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_EQ(sent.out, "Successfully Send\n");

    QDir(tree.path("Pics/Trip/Day 2")).removeRecursively();
    // A send that failed in part says only what failed, on stderr, and claims no success.
    const CliRun partly = runCli(places, {"pictures", "send"});
    EXPECT_EQ(partly.status, 1);
    EXPECT_EQ(partly.out, "");
    EXPECT_TRUE(partly.err.contains("1 of 4 folders was not copied in full:"));
    EXPECT_TRUE(partly.err.contains(tree.path("Pics/Trip/Day 2")));

    const CliRun missing = runCli(places, {"pictures", "scan", tree.path("none")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "Not a folder: " + tree.path("none") + "\n");
    EXPECT_EQ(runCli(places, {"pictures", "scan"}).status, 2);
}
