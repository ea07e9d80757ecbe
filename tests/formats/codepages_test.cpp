#include "formats/codepages.h"

#include <gtest/gtest.h>

using namespace quenda;

namespace {

QString decode(int codePage, const char *bytes)
{
    return decodeCodePage(codePage, QByteArrayView(bytes, qsizetype(std::strlen(bytes))));
}

} // namespace

TEST(CodePages, SingleBytePagesPutTheirOwnLettersAboveAscii)
{
    EXPECT_EQ(decode(850, "K\x81hn Bj\x94rn \xA4"), QStringLiteral("Kühn Björn ñ"));
    EXPECT_EQ(decode(437, "Stra\xE1"
                          "e"),
              QStringLiteral("Straße"));
    EXPECT_EQ(decode(852, "\x9D\xA5"), QStringLiteral("Łą"));
    EXPECT_EQ(decode(1250, "\x8A\xB9"), QStringLiteral("Šą"));
    EXPECT_EQ(decode(1253, "\xC1\xE8"), QStringLiteral("Αθ"));
    EXPECT_EQ(decode(874, "\xA1"), QStringLiteral("ก"));
    EXPECT_EQ(decode(1252, "\x80 caf\xE9 \x93q\x94"), QStringLiteral("€ café “q”"));
    // Control bytes stay what they are, even in pages whose glyph tables draw them.
    EXPECT_EQ(decode(437, "a\tb\r\n\x1A"), QStringLiteral("a\tb\r\n\x1A"));
}

TEST(CodePages, MultiBytePagesAndCutCharacters)
{
    EXPECT_EQ(decode(932, "\x93\xFA\x96\x7B"), QStringLiteral("日本"));
    EXPECT_EQ(decode(936, "\xD6\xD0\xCE\xC4"), QStringLiteral("中文"));
    EXPECT_EQ(decode(950, "\xA4\xA4"), QStringLiteral("中"));
    EXPECT_EQ(decode(949, "\xC7\xD1"), QStringLiteral("한"));
    // A lead byte without its trail byte must not vanish silently.
    EXPECT_EQ(decode(932, "a\x93"), QStringLiteral("a") + QChar(0xFFFD));
    EXPECT_EQ(decodeCodePage(kCodePageUtf16Le, QByteArrayView("A\0B", 3)),
              QStringLiteral("A") + QChar(0xFFFD));
}

TEST(CodePages, UnknownPagesReadAsWindows1252)
{
    EXPECT_FALSE(isKnownCodePage(895));
    EXPECT_EQ(decode(895, "caf\xE9"), QStringLiteral("café"));
}

TEST(CodePages, Utf8Validation)
{
    EXPECT_TRUE(isValidUtf8("plain ascii text longer than eight bytes"));
    EXPECT_TRUE(isValidUtf8("Ma\xC5\x82gorzata \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("caf\xE9"));             // a Windows-1252 letter
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));            // overlong slash
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));        // overlong in three bytes
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));        // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));    // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));            // cut off at the end
    EXPECT_FALSE(isValidUtf8("abcdefgh\x80ijklmno")); // stray continuation after a fast stretch
}
