#include "formats/codepages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

using namespace quenda;
using namespace Qt::StringLiterals;

// Single-byte pages put their own letters above ASCII; control bytes stay what they are, even
// in pages whose glyph tables draw them; multi-byte pages read pairs, and a lead byte without
// its trail byte does not vanish silently; an unknown page reads as Windows-1252.
TEST(CodePages, EachPageDecodesItsOwnLetters)
{
    const std::tuple<int, const char *, QString> cases[] = {
        {850, "K\x81hn Bj\x94rn \xA4", u"Kühn Björn ñ"_s},
        {437, "Stra\xE1\x65", u"Straße"_s},
        {852, "\x9D\xA5", u"Łą"_s},
        {1250, "\x8A\xB9", u"Šą"_s},
        {1253, "\xC1\xE8", u"Αθ"_s},
        {874, "\xA1", u"ก"_s},
        {1252, "\x80 caf\xE9 \x93q\x94", u"€ café “q”"_s},
        {437, "a\tb\r\n\x1A", u"a\tb\r\n\x1A"_s},
        {932, "\x93\xFA\x96\x7B", u"日本"_s},
        {936, "\xD6\xD0\xCE\xC4", u"中文"_s},
        {950, "\xA4\xA4", u"中"_s},
        {949, "\xC7\xD1", u"한"_s},
        {932, "a\x93", u"a\uFFFD"_s},
        {895, "caf\xE9", u"café"_s},
    };
    for (const auto &[page, bytes, text] : cases)
        EXPECT_EQ(decodeCodePage(page, QByteArrayView(bytes, qsizetype(std::strlen(bytes)))), text)
            << page;
    EXPECT_FALSE(isKnownCodePage(895));
    EXPECT_EQ(decodeCodePage(kCodePageUtf16Le, QByteArrayView("A\0B", 3)), u"A\uFFFD"_s);
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
