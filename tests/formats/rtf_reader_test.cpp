#include "formats/rtf_reader.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

using namespace quenda;

namespace {

QString read(const char *rtf)
{
    return rtfToPlainText(QByteArrayView(rtf, static_cast<qsizetype>(std::strlen(rtf))));
}

QByteArray dataFile(const QString &name)
{
    QFile file(QStringLiteral(QUENDA_TEST_DATA_DIR "/rtf/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// LibreOffice's text export: UTF-8 with a BOM, CR LF after every paragraph.
QStringList oracleLines(const QString &name)
{
    QString text = QString::fromUtf8(dataFile(name));
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
        const QByteArray rtf = dataFile(QString::fromLatin1(name) + QStringLiteral(".rtf"));
        ASSERT_FALSE(rtf.isEmpty());
        EXPECT_EQ(rtfToPlainText(rtf).split(QStringLiteral("\r\n")),
                  oracleLines(QString::fromLatin1(name) + QStringLiteral(".oracle.txt")));
    }
}

// LibreOffice puts every cell on a line of its own; the reader keeps a row on one line.
TEST(RtfReaderFixtures, TableRowsAreTabSeparatedAndThePictureLeavesNoTrace)
{
    const QByteArray rtf = dataFile(QStringLiteral("b_rtf_inventory_table.rtf"));
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

TEST(RtfReader, CodePagesFromTheDocumentAndFromFontCharsets)
{
    // \ansicpg1251: bytes are Cyrillic.
    EXPECT_EQ(read(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})"),
              QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442"));
    // A Windows-1252 document whose fonts name their own charsets; \plain returns to \deff.
    const char *mixed = R"({\rtf1\ansi\deff0{\fonttbl{\f0\fcharset0 Arial;}{\f1\fcharset204 )"
                        R"(Arial Cyr;}{\f2\fcharset161 Arial Greek;}{\f3\fcharset238 Arial CE;}})"
                        R"(\'e9 {\f1\'e4\'e0} {\f2\'e1\'e2} {\f3\'b9\'e6}\f1\'e4\plain\'e4})";
    EXPECT_EQ(read(mixed), QStringLiteral("\u00e9 \u0434\u0430 \u03b1\u03b2 \u0105\u0107"
                                          "\u0434\u00e4"));
    // Shift-JIS pairs, including a trail byte written as a plain character.
    EXPECT_EQ(read(R"({\rtf1\ansi{\fonttbl{\f0\fcharset128 MS Mincho;}}\f0 \'82\'a0\'83e!})"),
              QStringLiteral("\u3042\u30c6!"));
    // The Windows-1252 bytes 0x80..0x9f are typographic characters, not C1 controls.
    EXPECT_EQ(read(R"({\rtf1\ansi \'80\'93x\'94\'97})"),
              QStringLiteral("\u20ac\u201cx\u201d\u2014"));
}

TEST(RtfReader, UnicodeKeywordsSkipTheirFallback)
{
    EXPECT_EQ(read(R"({\rtf1 caf\u233\'e9 \u-3913?})"), QStringLiteral("caf\u00e9 \uf0b7"));
    // \uc2: two fallback units, a hex byte and a plain character alike.
    EXPECT_EQ(read(R"({\rtf1\uc2\u1046\'c6x!\u1046 ab})"), QStringLiteral("\u0416!\u0416"));
    // \uc0 means no fallback at all.
    EXPECT_EQ(read(R"({\rtf1\uc0\u1046 ab})"), QStringLiteral("\u0416ab"));
    // A group end stops the fallback and restores the outer \uc.
    EXPECT_EQ(read(R"({\rtf1{\uc3\u1046 a}bc\u1046 de})"), QStringLiteral("\u0416bc\u0416e"));
    // Two \u halves of a surrogate pair make one emoji; a lone half becomes U+FFFD.
    EXPECT_EQ(read(R"({\rtf1\u-10179?\u-8704? \u55357?x \u56832?})"),
              QStringLiteral("\U0001F600 \ufffdx \ufffd"));
}

TEST(RtfReader, SymbolsBreaksAndEscapes)
{
    EXPECT_EQ(read(R"({\rtf1 a\tab b\line c\par d\emdash\endash\lquote\rquote\ldblquote)"
                   R"(\rdblquote\bullet\~\-\_\{\}\\})"),
              QStringLiteral("a\tb\r\nc\r\nd\u2014\u2013\u2018\u2019\u201c\u201d\u2022\u00a0"
                             "\u00ad\u2011{}\\"));
    // Line ends in the file are not text; a backslash before one is a paragraph end.
    EXPECT_EQ(read("{\\rtf1 one\r\ntwo\\\nthree}"), QStringLiteral("onetwo\r\nthree"));
    // A control word takes one blank as its delimiter, the next one is text.
    EXPECT_EQ(read(R"({\rtf1\b  bold\b0\par  x})"), QStringLiteral(" bold\r\n x"));
}

TEST(RtfReader, NonTextDestinationsAreSkipped)
{
    const char *rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl;\red255\green0\blue0;})"
                      R"({\stylesheet{\s0 Normal;}}{\info{\title T}{\author A}}{\*\generator Gen;})"
                      R"({\header Head\par}{\footerl Foot}{\*\unknownthing hidden}A)"
                      R"({\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt link}})"
                      R"({\pict\pngblip\picw10 89504e47}B{\*\bkmkstart b1}C)"
                      R"({\pict\bin5 }{\}\\x}D)"
                      R"({\footnote note}{\annotation remark}E})";
    EXPECT_EQ(read(rtf), QStringLiteral("AlinkBCDE"));
    // \upr pairs an ANSI text with its Unicode twin in \ud; only the twin is read.
    EXPECT_EQ(read(R"({\rtf1{\upr{X ansi}{\*\ud{Y \u1046?}}}Z})"), QStringLiteral("Y \u0416Z"));
}

TEST(RtfReader, TablesKeepEmptyCellsAndNestedRows)
{
    EXPECT_EQ(read(R"({\rtf1\trowd\cellx1\cellx2\cellx3 a\cell\cell c\cell\row)"
                   R"(\trowd a\cell\cell\cell\row after\par})"),
              QStringLiteral("a\t\tc\r\na\t\t\r\nafter\r\n"));
    EXPECT_EQ(read(R"({\rtf1 x\nestcell y\nestcell{\*\nesttableprops\nestrow}\nestrow)"
                   R"({\nonesttables fallback}})"),
              QStringLiteral("x\ty\r\n"));
}

TEST(RtfReader, ListNumbersAndBulletsAreIndentedByLevel)
{
    EXPECT_EQ(read(R"({\rtf1\pard{\listtext\pard\plain 1.\tab}\ls1\ilvl0 First\par)"
                   R"(\pard{\listtext\pard\plain \u9702\'3f\tab}\ls1\ilvl1 Sub\par)"
                   R"(\pard Plain\par})"),
              QStringLiteral("    1. First\r\n        \u25e6 Sub\r\nPlain\r\n"));
}

TEST(RtfReaderMalformed, DamagedInputGivesWhatCanBeReadWithoutHanging)
{
    EXPECT_EQ(read(R"({\rtf1 abc)"), QStringLiteral("abc")); // truncated
    EXPECT_EQ(read(R"({\rtf1 a\)"), QStringLiteral("a"));    // ends in a backslash
    EXPECT_EQ(read(R"({\rtf1 a\'4)"), QStringLiteral("a"));  // half a hex byte, a control code
    EXPECT_EQ(read(R"({\rtf1 a\'zz b})"), QStringLiteral("azz b"));   // bad hex digits
    EXPECT_EQ(read(R"(}}{\rtf1 a}} trailing)"), QStringLiteral("a")); // extra closers
    EXPECT_EQ(read(R"({\rtf1 a{\b b)"), QStringLiteral("ab"));        // never closed
    EXPECT_EQ(read(""), QString());
    // Huge numbers are clamped: no overflow, no giant skip, no allocation.
    EXPECT_EQ(read(R"({\rtf1\uc99999999999999999999\u99999999999999999999 a}b)"), QString());
    EXPECT_EQ(read(R"({\rtf1\ansicpg99999999999 \'41\bin99999999999999 xyz})"),
              QStringLiteral("A"));
    // A double-byte character cut in half is replaced, not carried into the next run.
    EXPECT_EQ(read(R"({\rtf1{\fonttbl{\f0\fcharset128 M;}}\f0{\'82\'a0\'82}x})"),
              QStringLiteral("\u3042\ufffdx"));
    EXPECT_EQ(read(R"({\rtf1\bin-5 x\u-99999999999? y})"), QStringLiteral("x y"));
    // Found by the fuzzer: a lone surrogate in a list marker reached the text unchecked.
    EXPECT_EQ(read(R"({\rtf1{\listtext\u-10179?}item})"), QStringLiteral("    \ufffd item"));
    EXPECT_EQ(read(R"({\rtf1\ilvl999999{\listtext 1.}item})"),
              QString(4 * 9, QLatin1Char(' ')) + QStringLiteral("1. item"));
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
