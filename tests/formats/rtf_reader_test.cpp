#include "formats/rtf_reader.h"
#include "reader_test_support.h"

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;
using namespace Qt::StringLiterals;

namespace {

QString read(const char *rtf)
{
    return rtfToPlainText(QByteArrayView(rtf, static_cast<qsizetype>(std::strlen(rtf))));
}

// LibreOffice's text export: UTF-8 with a BOM, CR LF after every paragraph.
QStringList oracleLines(const QString &name)
{
    QString text = QString::fromUtf8(dataBytes(QStringLiteral("rtf/") + name));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text.split(QStringLiteral("\r\n"));
}

} // namespace

// Paragraphs, lists and Western letters; Cyrillic and Greek through Unicode keywords.
TEST(RtfReaderFixtures, TextMatchesLibreOffice)
{
    for (const char *name : {"b_rtf_meeting_notes", "b_rtf_russian_long"}) {
        SCOPED_TRACE(name);
        const QByteArray rtf = dataBytes(QStringLiteral("rtf/%1.rtf").arg(QLatin1String(name)));
        ASSERT_FALSE(rtf.isEmpty());
        EXPECT_EQ(rtfToPlainText(rtf).split(QStringLiteral("\r\n")),
                  oracleLines(QString::fromLatin1(name) + QStringLiteral(".oracle.txt")));
    }
}

// LibreOffice puts every cell on a line of its own; the reader keeps a row on one line.
TEST(RtfReaderFixtures, TableRowsAreTabSeparatedAndThePictureLeavesNoTrace)
{
    const QByteArray rtf = dataBytes(QStringLiteral("rtf/b_rtf_inventory_table.rtf"));
    ASSERT_FALSE(rtf.isEmpty());
    const QStringList oracle = oracleLines(QStringLiteral("b_rtf_inventory_table.oracle.txt"));
    constexpr int kBefore = 2, kRows = 7, kColumns = 5;
    ASSERT_EQ(oracle.size(), kBefore + kRows * kColumns + 3);
    QStringList expected = oracle.mid(0, kBefore);
    for (int row = 0; row < kRows; ++row)
        expected << oracle.mid(kBefore + row * kColumns, kColumns).join(QLatin1Char('\t'));
    expected << oracle.mid(kBefore + kRows * kColumns);
    EXPECT_EQ(rtfToPlainText(rtf).split(QStringLiteral("\r\n")), expected);
}

// Each construct of the format against the text it gives.
TEST(RtfReader, TextOfEachConstruct)
{
    const std::pair<const char *, QString> cases[] = {
        // Code pages: \ansicpg; fonts that name their own charsets, \plain back to \deff;
        // Shift-JIS pairs with a trail byte written as a plain character; 0x80..0x9f of
        // Windows-1252 are typographic characters, not C1 controls.
        {R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})", u"Привет"_s},
        {R"({\rtf1\ansi\deff0{\fonttbl{\f0\fcharset0 Arial;}{\f1\fcharset204 Arial Cyr;})"
         R"({\f2\fcharset161 Arial Greek;}{\f3\fcharset238 Arial CE;}})"
         R"(\'e9 {\f1\'e4\'e0} {\f2\'e1\'e2} {\f3\'b9\'e6}\f1\'e4\plain\'e4})",
         u"é да αβ ąćдä"_s},
        {R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'82\'a0\'83e!})", u"あテ!"_s},
        {R"({\rtf1\ansi \'80\'93x\'94\'97})", u"€“x”—"_s},
        // \u skips its fallback: \ucN units, hex bytes and plain characters alike; \uc0 none;
        // a group end stops it and restores the outer \uc; surrogate halves pair up, a lone
        // half is U+FFFD.
        {R"({\rtf1 caf\u233\'e9 \u-3913?})", u"café \uf0b7"_s},
        {R"({\rtf1\uc2\u1046\'c6x!\u1046 ab})", u"Ж!Ж"_s},
        {R"({\rtf1\uc0\u1046 ab})", u"Жab"_s},
        {R"({\rtf1{\uc3\u1046 a}bc\u1046 de})", u"ЖbcЖe"_s},
        {R"({\rtf1\u-10179?\u-8704? \u55357?x \u56832?})", u"😀 \ufffdx \ufffd"_s},
        // Symbols and escapes; line ends in the file are no text, a backslash before one is a
        // paragraph end; a control word takes one blank as its delimiter.
        {R"({\rtf1 a\tab b\line c\par d\emdash\endash\lquote\rquote\ldblquote)"
         R"(\rdblquote\bullet\~\-\_\{\}\\})",
         u"a\tb\r\nc\r\nd—–‘’“”•\u00a0\u00ad\u2011{}\\"_s},
        {"{\\rtf1 one\r\ntwo\\\nthree}", u"onetwo\r\nthree"_s},
        {R"({\rtf1\b  bold\b0\par  x})", u" bold\r\n x"_s},
        // Destinations that are no text; of \upr's pair only the Unicode twin in \ud is read.
        {R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green0\blue0;})"
         R"({\stylesheet{\s0 Normal;}}{\info{\title T}{\author A}}{\*\generator Gen;})"
         R"({\header Head\par}{\footerl Foot}{\*\unknownthing hidden}A)"
         R"({\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt link}})"
         R"({\pict\pngblip\picw10 89504e47}B{\*\bkmkstart b1}C)"
         R"({\pict\bin5 }{\}\\x}D{\footnote note}{\annotation remark}E})",
         u"AlinkBCDE"_s},
        {R"({\rtf1{\upr{X ansi}{\*\ud{Y \u1046?}}}Z})", u"Y ЖZ"_s},
        // Tables keep empty cells; nested rows count once.
        {R"({\rtf1\trowd\cellx1\cellx2\cellx3 a\cell\cell c\cell\row)"
         R"(\trowd a\cell\cell\cell\row after\par})",
         u"a\t\tc\r\na\t\t\r\nafter\r\n"_s},
        {R"({\rtf1 x\nestcell y\nestcell{\*\nesttableprops\nestrow}\nestrow)"
         R"({\nonesttables fallback}})",
         u"x\ty\r\n"_s},
        // List numbers and bullets, indented by level.
        {R"({\rtf1\pard{\listtext\pard\plain 1.\tab}\ls1\ilvl0 First\par)"
         R"(\pard{\listtext\pard\plain \u9702\'3f\tab}\ls1\ilvl1 Sub\par\pard Plain\par})",
         u"    1. First\r\n        ◦ Sub\r\nPlain\r\n"_s},
        // Damage gives what can be read: cut short, a trailing backslash, half a hex byte, bad
        // hex digits, extra closers, groups never closed, nothing at all.
        {R"({\rtf1 abc)", u"abc"_s},
        {R"({\rtf1 a\)", u"a"_s},
        {R"({\rtf1 a\'4)", u"a"_s},
        {R"({\rtf1 a\'zz b})", u"azz b"_s},
        {R"(}}{\rtf1 a}} trailing)", u"a"_s},
        {R"({\rtf1 a{\b b)", u"ab"_s},
        {"", QString()},
        // Huge numbers are clamped: no overflow, no giant skip, no allocation.
        {R"({\rtf1\uc99999999999999999999\u99999999999999999999 a}b)", QString()},
        {R"({\rtf1\ansicpg99999999999 \'41\bin99999999999999 xyz})", u"A"_s},
        {R"({\rtf1\bin-5 x\u-99999999999? y})", u"x y"_s},
        // A double-byte character cut in half is replaced, not carried into the next run.
        {R"({\rtf1{\fonttbl{\f0\fcharset128 M;}}\f0{\'82\'a0\'82}x})", u"あ\ufffdx"_s},
        // Found by the fuzzer: a lone surrogate in a list marker reached the text unchecked.
        {R"({\rtf1{\listtext\u-10179?}item})", u"    \ufffd item"_s},
        {R"({\rtf1\ilvl999999{\listtext 1.}item})", QString(36, u' ') + u"1. item"_s},
    };
    for (const auto &[rtf, text] : cases)
        EXPECT_EQ(read(rtf), text) << rtf;
}

TEST(RtfReaderMalformed, DeepNestingStaysBounded)
{
    QByteArray deep = "{\\rtf1 a";
    deep += QByteArray(200000, '{') + "b" + QByteArray(200000, '}') + "c}";
    EXPECT_EQ(rtfToPlainText(deep), QStringLiteral("abc"));
    // A destination opened beyond the depth limit must not swallow the outer text.
    QByteArray deepSkip = "{\\rtf1 a";
    deepSkip += QByteArray(2000, '{') + "{\\*\\x y}{\\*\\ud u}{\\fonttbl z}b" +
                QByteArray(2000, '}') + "c}";
    EXPECT_EQ(rtfToPlainText(deepSkip), QStringLiteral("abc"));
}

TEST(RtfReader, RecognisesRichTextByItsOpening)
{
    EXPECT_TRUE(looksLikeRtf("{\\rtf1\\ansi"));
    EXPECT_TRUE(looksLikeRtf("\xEF\xBB\xBF \r\n{\\rtf1"));
    EXPECT_FALSE(looksLikeRtf("Plain note mentioning {\\rtf1"));
    EXPECT_FALSE(looksLikeRtf("{\\rt"));
    EXPECT_FALSE(looksLikeRtf(""));
}
