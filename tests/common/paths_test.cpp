#include "common/paths.h"
#include "common/places.h"

#include <gtest/gtest.h>

using namespace quenda;

TEST(SizeText, UnitsAndRoundingHalfToEven)
{
    const QLocale c(QLocale::C);
    EXPECT_EQ(sizeText(0, c), QStringLiteral("0Byte"));
    EXPECT_EQ(sizeText(1023, c), QStringLiteral("1023Byte"));
    EXPECT_EQ(sizeText(1024, c), QStringLiteral("1Kb"));
    EXPECT_EQ(sizeText(1536, c), QStringLiteral("2Kb")); // 1.5 goes to the even 2
    EXPECT_EQ(sizeText(2560, c), QStringLiteral("2Kb")); // 2.5 goes to the even 2
    EXPECT_EQ(sizeText(3584, c), QStringLiteral("4Kb")); // 3.5 goes to the even 4
    EXPECT_EQ(sizeText(1024 * 1023 + 511, c), QStringLiteral("1023Kb"));
    EXPECT_EQ(sizeText(1024 * 1024, c), QStringLiteral("1Mb"));
    EXPECT_EQ(sizeText(1536 * 1024, c), QStringLiteral("1.5Mb"));
    EXPECT_EQ(sizeText(qint64(5) * 1024 * 1024 * 1024, c), QStringLiteral("5120Mb"));
    // Kilobytes are rounded first: 1280.5 Kb rounds to 1280, which is exactly 1.25 Mb.
    EXPECT_EQ(sizeText(1280 * 1024 + 512, c), QStringLiteral("1.25Mb"));
}

TEST(SizeText, UsesTheLocaleDecimalSeparatorWithoutGrouping)
{
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
}

TEST(Places, StagingFolderAndSpecialFolders)
{
    Places places;
    places.desktopDir = QStringLiteral("/tmp/desk");
    EXPECT_EQ(places.stagingDir(), QStringLiteral("/tmp/desk/Ipod"));
    places.desktopDir.clear();
    EXPECT_EQ(places.stagingDir(), QString());
    EXPECT_EQ(specialFolderPath(5), QString());

    qputenv("QUENDA_DESKTOP_DIR", "/tmp/elsewhere/");
    qputenv("QUENDA_PROGRAM_DIR", "/opt/quenda");
    const Places env = Places::fromEnvironment(QStringLiteral("/usr/bin"));
    EXPECT_EQ(env.desktopDir, QStringLiteral("/tmp/elsewhere"));
    EXPECT_EQ(env.programDir, QStringLiteral("/opt/quenda"));
    qunsetenv("QUENDA_PROGRAM_DIR");
    EXPECT_EQ(Places::fromEnvironment(QStringLiteral("/usr/bin")).programDir,
              QStringLiteral("/usr/bin"));
    qunsetenv("QUENDA_DESKTOP_DIR");
}
