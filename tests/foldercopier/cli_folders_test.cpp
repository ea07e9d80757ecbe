#include "fs/fs_fixture.h"
#include "support/cli_runner.h"

#include <QFileInfo>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>

using namespace quenda;
using namespace quenda::test;

namespace {

CliRun folders(const TempPlaces &places, const QStringList &args)
{
    return runCli(places, QStringList{"folders"} + args);
}

} // namespace

TEST(FoldersCommandLine, ScanSelectCopyAndCopyPicked)
{
    TempPlaces places;
    TempTree drive;
    drive.file("Kid's Music/a.mp3", QByteArray(10, 'a'));
    drive.file("Photos/b.jpg", QByteArray(20, 'b'));
    drive.file("Photos/deep/c.jpg", QByteArray(30, 'c'));

    const CliRun scan = folders(places, {"scan", drive.root(), "--scheme", "Mum's"});
    ASSERT_EQ(scan.status, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.out, drive.path("Kid's Music") + "\t10\n" + drive.path("Photos") + "\t50\n");
    EXPECT_EQ(folders(places, {"scan", drive.root(), "--scheme", " "}).err,
              "Please Fill Scheme Name\n");
    const CliRun gone = folders(places, {"scan", drive.path("nope"), "--scheme", "Mum's"});
    EXPECT_NE(gone.status, 0);
    EXPECT_EQ(gone.err, "Drive not ready !\n");

    const CliRun select = folders(places, {"select", "--scheme", "Mum's", drive.path("Photos")});
    ASSERT_EQ(select.status, 0) << select.err.toStdString();
    EXPECT_EQ(select.out, "Selected folder 1 of 2\nSelected Folder Size: 50\n");
    EXPECT_NE(folders(places, {"select", "--scheme", "Mum's", drive.path("Other")}).status, 0);

    const CliRun desk = folders(places, {"copy", "--scheme", "Mum's", "--desktop"});
    ASSERT_EQ(desk.status, 0) << desk.err.toStdString();
    EXPECT_EQ(desk.out, "Copy Complete\n");
    EXPECT_TRUE(QFileInfo::exists(places.desktopDir() + "/File Copier/Photos/deep/c.jpg"));

    // A copy into a ticked folder is not a success.
    const CliRun inside =
        folders(places, {"copy", "--scheme", "Mum's", "--to", drive.path("Photos/deep")});
    EXPECT_NE(inside.status, 0);
    EXPECT_TRUE(inside.err.contains(drive.path("Photos") + ": Cannot copy the folder ") &&
                inside.err.endsWith("1 item could not be copied (listed above).\n"))
        << inside.err.toStdString();

    TempTree out;
    const CliRun picked = folders(
        places, {"copy-picked", drive.root(), "Kid's Music", "Photos", "--to", out.path("All")});
    ASSERT_EQ(picked.status, 0) << picked.err.toStdString();
    EXPECT_EQ(out.listing("All").size(), 4);
    EXPECT_NE(folders(places, {"copy-picked", drive.root(), "../x", "--to", out.root()}).status, 0);
}

TEST(FoldersCommandLine, InfoSizeShortcutAndLauncher)
{
    TempPlaces places;
    TempTree tree;
    tree.file("Docs/letter.txt", "Dear");
    tree.file("Docs/sub/more.txt", "more!");

    const CliRun size = folders(places, {"size", tree.path("Docs")});
    ASSERT_EQ(size.status, 0);
    EXPECT_EQ(size.out, "9\n");
    EXPECT_NE(folders(places, {"size", tree.path("none")}).status, 0);

    const CliRun folder = folders(places, {"info", tree.path("Docs")});
    ASSERT_EQ(folder.status, 0) << folder.err.toStdString();
    const QStringList lines = folder.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], "Attributes: Directory ");
    EXPECT_EQ(lines[10], "Size: 9");
    EXPECT_TRUE(
        folders(places, {"info", tree.path("Docs/letter.txt")}).out.contains("\nSize: 4\n"));
    EXPECT_TRUE(folders(places, {"info", "/"}).out.startsWith("Available Space: "));

    const CliRun shortcut = folders(places, {"shortcut", tree.path("Docs")});
    ASSERT_EQ(shortcut.status, 0) << shortcut.err.toStdString();
    EXPECT_EQ(shortcut.out, "Shortcut create successfully\n");
    EXPECT_TRUE(QFileInfo(places.desktopDir() + "/Docs.desktop").isExecutable());

    ASSERT_EQ(folders(places, {"launcher", tree.path("Docs")}).status, 0);
    auto c = places.connect();
    QSqlQuery q(c->db());
    ASSERT_TRUE(q.exec("select Title, Application, Type from ButtonLauncher where button_id=1"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ((QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}),
              (QStringList{"Docs", tree.path("Docs"), "A"}));
}

TEST(FoldersCommandLine, CopiesNameEveryReplacedFileAndMountsCountOnce)
{
    TempPlaces places;
    TempTree drive;
    drive.file("P/x.txt", "from P");
    drive.file("Q/x.txt", "from Q");
    drive.file("Q/y.txt", "new y");
    TempTree out;
    out.file("All/y.txt", "the user's y");

    // Two picked folders meet on x.txt and y.txt was there before: every one is named, both
    // sources of the meeting, and the copy that lost a file claims no success.
    CliRun run = folders(places, {"copy-picked", drive.root(), "P", "Q", "--to", out.path("All")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains(out.path("All/x.txt") + ": " + drive.path("Q/x.txt") +
                                 " replaced the copy of " + drive.path("P/x.txt")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("1 copy replaced a file that was already there:\n" +
                                 out.path("All/y.txt")))
        << run.err.toStdString();

    // Replacing what an earlier copy left is no failure, but it is told.
    run = folders(places, {"copy-picked", drive.root(), "Q", "--to", out.path("All")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Copy Complete\n");
    // In the order the folder lists them, which the file system decides.
    QStringList told = run.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(told.isEmpty());
    std::sort(told.begin() + 1, told.end());
    EXPECT_EQ(told, (QStringList{"2 copies replaced files that were already there:",
                                 out.path("All/x.txt"), out.path("All/y.txt")}));

    // Ticked folders whose names differ only in case arrive as one folder.
    TempTree cased;
    cased.file("Data/x.txt", "x");
    cased.file("DATA/y.txt", "y");
    ASSERT_EQ(folders(places, {"scan", cased.root(), "--scheme", "Cased"}).status, 0);
    ASSERT_EQ(folders(places, {"select", "--scheme", "Cased", "--all"}).status, 0);
    run = folders(places, {"copy", "--scheme", "Cased", "--to", out.path("Cased")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(out.listing("Cased").size(), 3) << out.listing("Cased").join(' ').toStdString();

    // A root bound inside itself is measured once unless other mounts are asked for.
    TempTree looped;
    looped.file("file.bin", QByteArray(1000, 'b'));
    looped.folder("A");
    BindMount loop(looped.root(), looped.path("A"));
    if (!loop.mounted())
        GTEST_SKIP() << "bind mounts need root";
    EXPECT_EQ(folders(places, {"size", looped.root()}).out, "1000\n");
    EXPECT_EQ(folders(places, {"size", looped.root(), "--other-mounts"}).out, "2000\n");
}
