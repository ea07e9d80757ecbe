#include "fs/fs_fixture.h"
#include "player_test_env.h"
#include "support/cli_runner.h"

#include <QDir>
#include <QRegularExpression>

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
    const QRegularExpression line(QStringLiteral("^(.*)\t(.*)\t(\\d+)$"));
    const QStringList lines = list.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << list.out.toStdString();
    const QRegularExpressionMatch first = line.match(lines[0]);
    ASSERT_TRUE(first.hasMatch()) << lines[0].toStdString();
    EXPECT_EQ(first.captured(1), one);
    EXPECT_EQ(first.captured(2), "One");
    EXPECT_GT(first.captured(3).toLongLong(), 0);
    EXPECT_TRUE(lines[1].startsWith(two + "\tTwo\t"));

    const QByteArray card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:O'Brien;Kid\r\nEND:VCARD\r\n";
    places.writeFile("Desktop/Ipod/O'Brien-W .vcf", card);
    places.writeFile("Desktop/Ipod/Plan: 2024.vcf", "colon");
    const QByteArray note = QStringLiteral("Zoë's line\r\n").repeated(400).toUtf8();
    places.writeFile("Desktop/Ipod/Zoë.txt", note);
    places.writeFile("Desktop/Ipod/Merged.txt", "merged\r\n");

    const CliRun several = runCli(places, {"player", "send"});
    EXPECT_EQ(several.status, 2);
    EXPECT_TRUE(several.err.contains(one) && several.err.contains(two))
        << several.err.toStdString();

    const CliRun notesOnly = runCli(places, {"player", "send", "--player", two, "--notes"});
    EXPECT_EQ(notesOnly.status, 0) << notesOnly.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(two + "/Contacts"));
    EXPECT_EQ(readFile(two + "/Notes/Merged.txt"), "merged\r\n");

    const CliRun sent = runCli(places, {"player", "send", "--player=" + one});
    EXPECT_EQ(sent.status, 0) << sent.err.toStdString();
    EXPECT_TRUE(sent.out.startsWith("Sent to One: 2 contacts and 2 notes (1 note cut into 2 "
                                    "pieces)."))
        << sent.out.toStdString();
    EXPECT_TRUE(sent.out.contains("Plan: 2024.vcf -> Plan_ 2024.vcf"));
    EXPECT_EQ(readFile(one + "/Contacts/O'Brien-W .vcf"), card);
    EXPECT_EQ(readFile(one + "/Contacts/Plan_ 2024.vcf"), "colon");
    EXPECT_TRUE(QFileInfo::exists(one + "/Notes/Zoë (2 of 2).txt"));
    EXPECT_EQ(readFile(places.stagingDir() + "/Zoë.txt"), note);

    // Again: the same names are replaced, and said so.
    const CliRun again = runCli(places, {"player", "send", "--player", one, "--contacts"});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains("Replaced on the player (2):\n  Contacts/O'Brien-W .vcf\n"))
        << again.out.toStdString();

    const CliRun notAPlayer = runCli(places, {"player", "send", "--player", places.root()});
    EXPECT_EQ(notAPlayer.status, 1);
    EXPECT_TRUE(notAPlayer.err.startsWith("Not a player"));
    EXPECT_EQ(runCli(places, {"player", "send", "--bogus"}).status, 2);
    EXPECT_EQ(runCli(places, {"player", "send", "extra"}).status, 2);
    EXPECT_EQ(runCli(places, {"player"}).status, 2);
    const CliRun help = runCli(places, {"player", "eject", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("eject [--player ROOT]"));
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
