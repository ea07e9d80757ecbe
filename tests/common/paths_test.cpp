#include "common/paths.h"
#include "common/places.h"
#include "support/scoped_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quenda;
using quenda::test::ScopedEnv;

TEST(SizeText, UnitsAndRoundingHalfToEven)
{
    const QLocale c(QLocale::C);
    EXPECT_EQ(sizeText(0, c), QStringLiteral("0Byte"));
    EXPECT_EQ(sizeText(1023, c), QStringLiteral("1023Byte"));
    EXPECT_EQ(sizeText(1024, c), QStringLiteral("1Kb"));
    EXPECT_EQ(sizeText(1536, c), QStringLiteral("2Kb")); // 1.5 goes to the even 2
    EXPECT_EQ(sizeText(2560, c), QStringLiteral("2Kb")); // 2.5 goes to the even 2
    EXPECT_EQ(sizeText(1024 * 1023 + 511, c), QStringLiteral("1023Kb"));
    EXPECT_EQ(sizeText(1024 * 1024, c), QStringLiteral("1Mb"));
    EXPECT_EQ(sizeText(1536 * 1024, c), QStringLiteral("1.5Mb"));
    EXPECT_EQ(sizeText(qint64(5) * 1024 * 1024 * 1024, c), QStringLiteral("5120Mb"));
    // Kilobytes are rounded first: 1280.5 Kb rounds to 1280, which is exactly 1.25 Mb.
    EXPECT_EQ(sizeText(1280 * 1024 + 512, c), QStringLiteral("1.25Mb"));
    // The locale's decimal separator, without grouping.
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(sizeText(1536 * 1024, german), QStringLiteral("1,5Mb"));
    EXPECT_EQ(sizeText(qint64(2000) * 1024 * 1024, german), QStringLiteral("2000Mb"));
}

TEST(Paths, LastComponentAndFileNameTakeEitherSeparator)
{
    EXPECT_EQ(lastPathComponent(QStringLiteral("C:\\Docs\\a.txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("a.txt")), QString());
    EXPECT_EQ(lastPathComponent(QStringLiteral("/home/u/b.rtf")), QStringLiteral("b.rtf"));
    EXPECT_EQ(lastPathComponent(QStringLiteral("C:\\Docs/mixed\\c.txt")), QStringLiteral("c.txt"));

    EXPECT_EQ(fileNameOfPath(QStringLiteral("C:\\Docs\\a.txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(fileNameOfPath(QStringLiteral("a.txt")), QStringLiteral("a.txt"));
    EXPECT_EQ(fileNameOfPath(QStringLiteral("C:\\Docs\\")), QString());
    EXPECT_EQ(fileNameOfPath(QStringLiteral("/tmp/notes/")), QString());
    EXPECT_EQ(fileNameOfPath(QString()), QString());

    // A path from the file system: "\" belongs to the name.
    EXPECT_EQ(localFileName(QStringLiteral("/home/u/back\\slash.doc")),
              QStringLiteral("back\\slash.doc"));
    EXPECT_EQ(localFileName(QStringLiteral("plain.txt")), QStringLiteral("plain.txt"));
    EXPECT_EQ(localFileName(QStringLiteral("/tmp/notes/")), QString());
}

TEST(Places, StagingFolderAndSpecialFolders)
{
    Places places;
    places.desktopDir = QStringLiteral("/tmp/desk");
    EXPECT_EQ(places.stagingDir(), QStringLiteral("/tmp/desk/Ipod"));
    places.desktopDir.clear();
    EXPECT_EQ(places.stagingDir(), QString());
    EXPECT_EQ(specialFolderPath(5), QString());

    ScopedEnv desktop("QUENDA_DESKTOP_DIR", "/tmp/elsewhere/");
    EXPECT_EQ(Places::fromEnvironment(QStringLiteral("/usr/bin")).desktopDir,
              QStringLiteral("/tmp/elsewhere"));
}

// Where the database lives decides whether an installed program can start at all: each branch
// of the rule, in its order.
TEST(Places, ProgramFolderRule)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString exeDir = root.filePath(QStringLiteral("bin"));
    const QString data = root.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(exeDir));
    ScopedEnv program("QUENDA_PROGRAM_DIR", std::nullopt);
    ScopedEnv xdg("XDG_DATA_HOME", QFile::encodeName(data));

    // Installed: no database beside the executable, so the user's data folder, made on demand.
    Places installed = Places::fromEnvironment(exeDir);
    EXPECT_EQ(installed.programDir, data + QStringLiteral("/quenda"));
    EXPECT_FALSE(QFileInfo::exists(installed.programDir));
    ASSERT_TRUE(installed.ensureProgramDir());
    EXPECT_TRUE(QFileInfo(installed.programDir).isDir());

    // A relative XDG_DATA_HOME is ignored, as the XDG rule says.
    qputenv("XDG_DATA_HOME", "relative/share");
    EXPECT_EQ(Places::fromEnvironment(exeDir).programDir,
              QDir::homePath() + QStringLiteral("/.local/share/quenda"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));

    // Portable copy: the executable's folder already holds the database, in any letter case.
    QFile db(QDir(exeDir).filePath(QStringLiteral("quendadata.dll")));
    ASSERT_TRUE(db.open(QIODevice::WriteOnly));
    db.close();
    EXPECT_EQ(Places::fromEnvironment(exeDir).programDir, exeDir);

    // A folder named like the database is not a database.
    ASSERT_TRUE(db.remove());
    ASSERT_TRUE(QDir(exeDir).mkdir(QStringLiteral("QUENDADATA.Dll")));
    EXPECT_EQ(Places::fromEnvironment(exeDir).programDir, data + QStringLiteral("/quenda"));

    // The override wins over both.
    ScopedEnv override("QUENDA_PROGRAM_DIR", "/opt/quenda/");
    EXPECT_EQ(Places::fromEnvironment(exeDir).programDir, QStringLiteral("/opt/quenda"));
}
