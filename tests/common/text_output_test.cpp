#include "fs/text_output.h"
#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(TextOutput, WesternTextIsWindows1252AndOtherTextUtf8)
{
    const QString western = QStringLiteral("Caf\u00e9 \u20ac5 \u201cquoted\u201d \u2014 \u0160");
    ASSERT_TRUE(fitsWindows1252(western));
    EXPECT_EQ(encodeForDevice(western), QByteArray("Caf\xe9 \x80"
                                                   "5 \x93quoted\x94 \x97 \x8a"));
    EXPECT_EQ(fromWindows1252(toWindows1252(western)), western);

    const QString cyrillic = QStringLiteral("\u0414\u043c\u0438\u0442\u0440\u0438\u0439 caf\u00e9");
    EXPECT_FALSE(fitsWindows1252(cyrillic));
    EXPECT_EQ(encodeForDevice(cyrillic), cyrillic.toUtf8());
    // The five bytes Windows-1252 leaves undefined are not characters it can write.
    EXPECT_FALSE(fitsWindows1252(QString(QChar(0x81))));
}

TEST(TextOutput, LineEndsBecomeCrLf)
{
    EXPECT_EQ(withCrLf(QStringLiteral("a\nb\r\nc\rd\n\n")),
              QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\n"));
    EXPECT_EQ(withCrLf(QString()), QString());
}

TEST(TextOutput, WriteReplacesThroughATemporaryAndNeverFollowsALink)
{
    TempPlaces places(false);
    const QString path = places.writeFile(QStringLiteral("out.txt"), QByteArray(100, 'z'));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(writeTextFile(path, QStringLiteral("\u00e9\r\n")));
    EXPECT_EQ(readAll(path), QByteArray("\xe9\r\n"));
    const auto user = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    EXPECT_EQ(QFile::permissions(path) & ~user, QFile::ReadOwner | QFile::WriteOwner);

    // A link at the path is replaced by the file; what it pointed at stays as it was.
    const QString victim = places.writeFile(QStringLiteral("victim.txt"), "keep");
    const QString link = places.root() + QStringLiteral("/link.txt");
    ASSERT_TRUE(QFile::link(victim, link));
    ASSERT_TRUE(writeBytesFile(link, "new"));
    EXPECT_EQ(readAll(victim), QByteArray("keep"));
    EXPECT_EQ(readAll(link), QByteArray("new"));

    // A failure leaves the earlier file whole, names the file and gives the system's reason.
    const Status missing = writeTextFile(places.root() + QStringLiteral("/missing/x.txt"), u"x");
    EXPECT_EQ(missing.message(), QStringLiteral("Cannot write ") + places.root() +
                                     QStringLiteral("/missing/x.txt: No such file or directory"));
    QDir(places.root()).mkdir(QStringLiteral("taken"));
    const QString blocked = places.root() + QStringLiteral("/taken");
    EXPECT_FALSE(writeBytesFile(blocked, "x"));
    EXPECT_TRUE(QFileInfo(blocked).isDir());
    EXPECT_EQ(
        QDir(places.root()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("quenda")),
        QStringList())
        << "no temporary left behind";
}
