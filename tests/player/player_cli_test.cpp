#include "fs/fs_fixture.h"
#include "support/cli_runner.h"
#include "support/scoped_env.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace quenda::test;

TEST(PlayerCli, ListSendAndTheirErrorsEndToEnd)
{
    TempPlaces places(false);
    TempTree players;
    players.folder("One/iPod_Control");
    players.file("Two/IPOD_CONTROL/Device/SysInfo", "ModelNumStr: xA623\n");
    const QString one = players.path("One");
    const QString two = players.path("Two");
    ScopedEnv roots("QUENDA_PLAYER_ROOTS", (one + ":" + two + ":" + players.path("none")).toUtf8());

    const CliRun list = runCli(places, {"player", "list"});
    EXPECT_EQ(list.status, 0) << list.err.toStdString();
    const QStringList lines = list.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << list.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith(one + "\tOne\t"));
    EXPECT_GT(lines[0].section('\t', 2).toLongLong(), 0) << "free bytes";
    EXPECT_TRUE(lines[1].startsWith(two + "\tTwo\t"));

    places.writeFile("Desktop/Ipod/O'Brien-W .vcf", "card");
    places.writeFile("Desktop/Ipod/Plan: 2024.vcf", "colon");
    places.writeFile("Desktop/Ipod/Zoë.txt", QByteArray(6000, 'z'));
    places.writeFile("Desktop/Ipod/Merged.txt", "merged\r\n");

    const CliRun several = runCli(places, {"player", "send"});
    EXPECT_EQ(several.status, 2);
    EXPECT_TRUE(several.err.contains(one) && several.err.contains(two))
        << several.err.toStdString();

    const CliRun notesOnly = runCli(places, {"player", "send", "--player", two, "--notes"});
    EXPECT_EQ(notesOnly.status, 0) << notesOnly.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(two + "/Contacts"));
    EXPECT_TRUE(QFileInfo::exists(two + "/Notes/Merged.txt"));

    const CliRun sent = runCli(places, {"player", "send", "--player=" + one});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_TRUE(sent.out.startsWith("Sent to One: 2 contacts and 2 notes (1 note cut into 2 "
                                    "pieces)."))
        << sent.out.toStdString();

    const CliRun notAPlayer = runCli(places, {"player", "send", "--player", places.root()});
    EXPECT_EQ(notAPlayer.status, 1);
    EXPECT_TRUE(notAPlayer.err.startsWith("Not a player"));
    EXPECT_EQ(runCli(places, {"player", "send", "extra"}).status, 2);
    EXPECT_EQ(runCli(places, {"player"}).status, 2);
}

TEST(PlayerCli, EjectWithoutUDisksSaysHowToEjectFromTheDesktop)
{
    TempPlaces places(false);
    TempTree players;
    players.folder("Solo/iPod_Control");
    ScopedEnv roots("QUENDA_PLAYER_ROOTS", players.path("Solo").toUtf8());
    ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + players.path("no-bus").toUtf8());
    const CliRun eject = runCli(places, {"player", "eject"});
    EXPECT_EQ(eject.status, 1);
    EXPECT_TRUE(eject.err.contains("Eject it from the desktop")) << eject.err.toStdString();
    EXPECT_TRUE(eject.err.contains("Solo"));
}
