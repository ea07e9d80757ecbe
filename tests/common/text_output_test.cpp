#include "fs/text_output.h"
#include "support/test_places.h"

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

TEST(TextOutput, WesternTextIsWrittenAsWindows1252AndOtherTextUtf8)
{
    const QString western = QStringLiteral("Caf\u00e9 \u20ac5 \u201cquoted\u201d \u2014 \u0160");
    ASSERT_TRUE(fitsWindows1252(western));
    EXPECT_EQ(encodeForDevice(western), QByteArray("Caf\xe9 \x80"
                                                   "5 \x93quoted\x94 \x97 \x8a"));
    EXPECT_EQ(fromWindows1252(toWindows1252(western)), western);
    // Written in that encoding; how the file is replaced is AtomicFile's to check.
    TempPlaces places(false);
    const QString path = places.root() + QStringLiteral("/out.txt");
    ASSERT_TRUE(writeTextFile(path, western));
    EXPECT_EQ(readAll(path), encodeForDevice(western));

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
