#include "formats/sheet_numfmt.h"

#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quenda;
using namespace Qt::StringLiterals;

// What LibreOffice shows for most codes is checked against its own output in the reader
// tests; these are the rules that output does not reach.

TEST(SheetGeneralFormat, FifteenDigitsWholeNumbersInFullScientificAtTheEnds)
{
    EXPECT_EQ(formatGeneral(1.0 / 3), QStringLiteral("0.333333333333333"));
    EXPECT_EQ(formatGeneral(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(formatGeneral(-1234.5), QStringLiteral("-1234.5"));
    // A phone or account number typed as a number keeps every digit.
    EXPECT_EQ(formatGeneral(4915112345678.0), QStringLiteral("4915112345678"));
    EXPECT_EQ(formatGeneral(1234567890123456.0), QStringLiteral("1234567890123456"));
    EXPECT_EQ(formatGeneral(1e16), QStringLiteral("1E+16"));
    EXPECT_EQ(formatGeneral(-1.5e20), QStringLiteral("-1.5E+20"));
    EXPECT_EQ(formatGeneral(0.000015), QStringLiteral("0.000015"));
    EXPECT_EQ(formatGeneral(1.5e-10), QStringLiteral("1.5E-10"));
    EXPECT_EQ(formatGeneral(1.2345678901234e-5), QStringLiteral("1.2345678901234E-05"));
    EXPECT_EQ(formatGeneral(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("#NUM!"));
}

// Each case: a value, a format code, the text shown.
TEST(SheetNumberFormat, CodesShowValuesAsSpreadsheetsDo)
{
    const QString iso = u"yyyy-mm-dd ddd"_s;
    const QString sections = u"[>=1000]#,##0,\"K\";[<0]\"minus\";0"_s;
    const QString era = u"[$-411]ggge\"年\"m\"月\"d\"日\";@"_s;
    const struct {
        double value;
        QString code, shown;
    } cases[] = {
        // Rounding half away from zero on the fifteen-digit value; no "-0".
        {1.005, u"0.00"_s, u"1.01"_s},
        {2.5, u"0"_s, u"3"_s},
        {-2.5, u"0"_s, u"-3"_s},
        {-0.4, u"0"_s, u"0"_s},
        {9.996, u"0.00E+00"_s, u"1.00E+01"_s},
        {999999.5, u"#,##0"_s, u"1,000,000"_s},
        {1e300, u"# ?/?"_s, u"1E+300"_s},
        {5.25, u".00"_s, u"5.25"_s},
        {0.25, u".00"_s, u".25"_s},
        // Sections and conditions; broken codes never throw or hang: an open quote or
        // bracket runs to the end.
        {1500, sections, u"2K"_s},
        {-3, sections, u"minus"_s},
        {12, sections, u"12"_s},
        {5, u"@"_s, u"5"_s},
        {5, QString(), u"5"_s},
        {5, u"0\"abc"_s, u"5abc"_s},
        {5, u"0[Red"_s, u"5"_s},
        {5, u";;;"_s, QString()},
        // The 1900 system counts its 29 February; outside the calendar of spreadsheets the
        // number stands as it is.
        {1, iso, u"1900-01-01 Sun"_s},
        {59, iso, u"1900-02-28 Tue"_s},
        {60, iso, u"1900-02-29 Wed"_s},
        {61, iso, u"1900-03-01 Thu"_s},
        {0, iso, u"1900-01-00 Sat"_s},
        {45351, iso, u"2024-02-29 Thu"_s},
        {-1, iso, u"-1"_s},
        {3e6, iso, u"3000000"_s},
        // Clocks never run ahead (13:37 as stored is slightly below or above); durations round.
        {(13 * 60 + 37) / 1440.0, u"hh:mm:ss"_s, u"13:37:00"_s},
        {0.4999999, u"h:mm:ss"_s, u"11:59:59"_s},
        {0.4999999, u"[h]:mm:ss"_s, u"12:00:00"_s},
        {0.99999999, u"h:mm:ss.00"_s, u"23:59:59.99"_s},
        {-0.25, u"[h]:mm"_s, u"-6:00"_s},
        {1.75, u"[mm]:ss"_s, u"2520:00"_s},
        {0.75, u"h AM/PM, a/p"_s, u"6 PM, p"_s},
        // Japanese dates name the era (g, gg, ggg) and count its years (e, ee); elsewhere e is
        // the year and g shows nothing.
        {44197, era, u"令和3年1月1日"_s},
        {32515, era, u"昭和64年1月7日"_s},
        {32516, era, u"平成1年1月8日"_s},
        {43586, u"[$-411]gee"_s, u"R01"_s},
        {43585, u"[$-0411]gge"_s, u"平31"_s},
        {44197, u"ggge/mm"_s, u"2021/01"_s},
        {44197, u"[$-409]e"_s, u"2021"_s},
    };
    NumberFormatter f;
    for (const auto &c : cases)
        EXPECT_EQ(f.formatNumber(c.value, c.code), c.shown)
            << c.value << " " << c.code.toStdString();

    EXPECT_EQ(f.formatText(u"abc"_s, u"0;-0;0;\"<\"@\">\""_s), u"<abc>"_s);
    EXPECT_EQ(f.formatText(u"abc"_s, u"0.00"_s), u"abc"_s);
    f.setDate1904(true);
    EXPECT_EQ(f.formatNumber(0, iso), u"1904-01-01 Fri"_s);
    EXPECT_EQ(f.formatNumber(43890, iso), u"2024-03-01 Fri"_s);
}
