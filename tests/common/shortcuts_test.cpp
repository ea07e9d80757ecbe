#include "fs/fs_fixture.h"
#include "fs/native_path.h"
#include "fs/shortcuts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quenda;
using namespace quenda::test;

TEST(Shortcuts, ADesktopEntryPointsAtTheFolderAndIsExecutable)
{
    TempTree tree;
    const QString desktop = tree.folder("Desktop");
    const QString music = fromNativePath(toNativePath(tree.root()) + "/My Music \xE9");
    ASSERT_EQ(::mkdir(toNativePath(music).constData(), 0755), 0);
    tree.file("Desktop/Music.desktop", "an older shortcut");

    const Result<QString> made = createDesktopShortcut(desktop, "Music", music);
    ASSERT_TRUE(made) << made.message().toStdString();
    EXPECT_EQ(*made, desktop + "/Music.desktop");
    EXPECT_EQ(modeOf(*made), 0755u);
    const QByteArray expected = "[Desktop Entry]\nVersion=1.0\nType=Link\nName=Music\nURL=file://" +
                                toNativePath(tree.root()) + "/My%20Music%20%E9\nIcon=folder\n";
    EXPECT_EQ(readFile(*made), expected);
    EXPECT_EQ(tree.listing("Desktop"), QStringList{"Music.desktop"});

    const QString pdf = tree.file("Report.pdf", "%PDF-1.4\n");
    ASSERT_TRUE(createDesktopShortcut(desktop, " Kid's\\Report", pdf));
    const QByteArray text = readFile(desktop + "/ Kid's\\Report.desktop");
    EXPECT_TRUE(text.contains("\nName=\\sKid's\\\\Report\n"));
    EXPECT_TRUE(text.contains("\nIcon=application-pdf\n"));

    for (const char *bad : {"..", "a/b", ""})
        EXPECT_FALSE(createDesktopShortcut(desktop, bad, music)) << bad;
    EXPECT_EQ(tree.listing("Desktop").size(), 2);
}
