#include "formats/rtf_reader.h"
#include "formats/rtf_writer.h"

#include <gtest/gtest.h>

using namespace quenda;

namespace {

// Every character a note may hold, including the ones RTF gives meaning to.
QString awkwardNote()
{
    return QStringLiteral("Plain line\r\n"
                          "\r\n"
                          "  leading blanks and trailing blanks  \r\n"
                          "Tabs\tbetween\t\tcells\t1\r\n"
                          "Braces {x} and backslashes \\par \\'41 \\u1046 \\\r\n"
                          "\u041f\u0440\u0438\u0432\u0435\u0442, \u03ba\u03b1\u03bb\u03b7\u03bc"
                          "\u03ad\u03c1\u03b1, caf\u00e9 \u20ac5 \u201cquoted\u201d\r\n"
                          "Emoji \U0001F600\U0001F44D and \uFFFD \u4e2d\u6587\r\n"
                          "?after a question mark \u00e9?\r\n");
}

int unescapedBraceBalance(const QByteArray &rtf)
{
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\')
            ++i;
        else if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}' && --depth < 0)
            return -1;
    }
    return depth;
}

} // namespace

TEST(RtfWriter, ReaderGivesTheTextBackUnchanged)
{
    for (const QString &text :
         {awkwardNote(), QString(), QStringLiteral("no line end"), QStringLiteral("\r\n\r\n"),
          QStringLiteral("ends with a backslash\\"), QStringLiteral("\t")}) {
        EXPECT_EQ(rtfToPlainText(plainTextToRtf(text)), text) << text.toStdString();
    }
    // Bare LF and bare CR are line ends too; the reader gives them back as CR LF.
    EXPECT_EQ(rtfToPlainText(plainTextToRtf(u"a\nb\rc\n")), QStringLiteral("a\r\nb\r\nc\r\n"));
}

TEST(RtfWriter, DocumentIsSevenBitWithHeaderFontTableAndBalancedGroups)
{
    const QByteArray rtf = plainTextToRtf(awkwardNote());
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    EXPECT_TRUE(rtf.contains("{\\fonttbl{\\f0"));
    EXPECT_EQ(unescapedBraceBalance(rtf), 0);
    for (char byte : rtf)
        ASSERT_LT(static_cast<unsigned char>(byte), 0x80);
    // \u takes a signed 16-bit value; the fallback is the Windows-1252 byte or '?'.
    EXPECT_TRUE(rtf.contains("\\u233\\'e9"));
    EXPECT_TRUE(rtf.contains("\\u1055?"));
    EXPECT_TRUE(rtf.contains("\\u-3?"));
}

TEST(RtfWriter, MergedDocumentKeepsNotesAndBreaksInOrder)
{
    RtfDocumentBuilder builder;
    builder.appendText(u"First note\r\nsecond line");
    builder.appendParagraphBreak();
    builder.appendParagraphBreak();
    builder.appendPageBreak();
    builder.appendText(u"{Second} \u0416");
    const QByteArray rtf = builder.finish();
    EXPECT_EQ(unescapedBraceBalance(rtf), 0);
    EXPECT_EQ(rtfToPlainText(rtf),
              QStringLiteral("First note\r\nsecond line\r\n\r\n\r\n{Second} \u0416"));
}
