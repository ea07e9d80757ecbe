#include "formats/sheet_numfmt.h"

#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace quenda;

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

TEST(SheetNumberFormat, RoundingHalfAwayFromZeroOnTheFifteenDigitValue)
{
    NumberFormatter f;
    EXPECT_EQ(f.formatNumber(1.005, QStringLiteral("0.00")), QStringLiteral("1.01"));
    EXPECT_EQ(f.formatNumber(2.5, QStringLiteral("0")), QStringLiteral("3"));
    EXPECT_EQ(f.formatNumber(-2.5, QStringLiteral("0")), QStringLiteral("-3"));
    EXPECT_EQ(f.formatNumber(-0.4, QStringLiteral("0")), QStringLiteral("0")); // no "-0"
    EXPECT_EQ(f.formatNumber(9.996, QStringLiteral("0.00E+00")), QStringLiteral("1.00E+01"));
    EXPECT_EQ(f.formatNumber(999999.5, QStringLiteral("#,##0")), QStringLiteral("1,000,000"));
    EXPECT_EQ(f.formatNumber(1e300, QStringLiteral("# ?/?")), QStringLiteral("1E+300"));
    EXPECT_EQ(f.formatNumber(5.25, QStringLiteral(".00")), QStringLiteral("5.25"));
    EXPECT_EQ(f.formatNumber(0.25, QStringLiteral(".00")), QStringLiteral(".25"));
}

TEST(SheetNumberFormat, SectionsConditionsAndText)
{
    NumberFormatter f;
    const QString code = QStringLiteral("[>=1000]#,##0,\"K\";[<0]\"minus\";0");
    EXPECT_EQ(f.formatNumber(1500, code), QStringLiteral("2K"));
    EXPECT_EQ(f.formatNumber(-3, code), QStringLiteral("minus"));
    EXPECT_EQ(f.formatNumber(12, code), QStringLiteral("12"));
    EXPECT_EQ(f.formatText(QStringLiteral("abc"), QStringLiteral("0;-0;0;\"<\"@\">\"")),
              QStringLiteral("<abc>"));
    EXPECT_EQ(f.formatText(QStringLiteral("abc"), QStringLiteral("0.00")), QStringLiteral("abc"));
    EXPECT_EQ(f.formatNumber(5, QStringLiteral("@")), QStringLiteral("5"));
    EXPECT_EQ(f.formatNumber(5, QString()), QStringLiteral("5"));
    // Broken codes never throw or hang: an open quote or bracket runs to the end.
    EXPECT_EQ(f.formatNumber(5, QStringLiteral("0\"abc")), QStringLiteral("5abc"));
    EXPECT_EQ(f.formatNumber(5, QStringLiteral("0[Red")), QStringLiteral("5"));
    EXPECT_EQ(f.formatNumber(5, QStringLiteral(";;;")), QString());
}

TEST(SheetDateFormat, The1900SystemCountsItsTwentyNinthOfFebruary)
{
    NumberFormatter f;
    const QString iso = QStringLiteral("yyyy-mm-dd ddd");
    EXPECT_EQ(f.formatNumber(1, iso), QStringLiteral("1900-01-01 Sun"));
    EXPECT_EQ(f.formatNumber(59, iso), QStringLiteral("1900-02-28 Tue"));
    EXPECT_EQ(f.formatNumber(60, iso), QStringLiteral("1900-02-29 Wed"));
    EXPECT_EQ(f.formatNumber(61, iso), QStringLiteral("1900-03-01 Thu"));
    EXPECT_EQ(f.formatNumber(0, iso), QStringLiteral("1900-01-00 Sat"));
    EXPECT_EQ(f.formatNumber(45351, iso), QStringLiteral("2024-02-29 Thu"));
    // Outside the calendar of spreadsheets the number stands as it is.
    EXPECT_EQ(f.formatNumber(-1, iso), QStringLiteral("-1"));
    EXPECT_EQ(f.formatNumber(3e6, iso), QStringLiteral("3000000"));

    f.setDate1904(true);
    EXPECT_EQ(f.formatNumber(0, iso), QStringLiteral("1904-01-01 Fri"));
    EXPECT_EQ(f.formatNumber(43890, iso), QStringLiteral("2024-03-01 Fri"));
}

TEST(SheetDateFormat, ClocksNeverRunAheadDurationsRound)
{
    NumberFormatter f;
    const double typed = (13 * 60 + 37) / 1440.0; // 13:37 as stored, slightly below or above
    EXPECT_EQ(f.formatNumber(typed, QStringLiteral("hh:mm:ss")), QStringLiteral("13:37:00"));
    EXPECT_EQ(f.formatNumber(0.4999999, QStringLiteral("h:mm:ss")), QStringLiteral("11:59:59"));
    EXPECT_EQ(f.formatNumber(0.4999999, QStringLiteral("[h]:mm:ss")), QStringLiteral("12:00:00"));
    EXPECT_EQ(f.formatNumber(0.99999999, QStringLiteral("h:mm:ss.00")),
              QStringLiteral("23:59:59.99"));
    EXPECT_EQ(f.formatNumber(-0.25, QStringLiteral("[h]:mm")), QStringLiteral("-6:00"));
    EXPECT_EQ(f.formatNumber(1.75, QStringLiteral("[mm]:ss")), QStringLiteral("2520:00"));
    EXPECT_EQ(f.formatNumber(0.75, QStringLiteral("h AM/PM, a/p")), QStringLiteral("6 PM, p"));
}

// Japanese dates name the era (g, gg, ggg) and count its years (e, ee); elsewhere e is the year
// and g shows nothing.
TEST(SheetDateFormat, JapaneseErasUnderAJapaneseLocale)
{
    NumberFormatter f;
    const QString era = QStringLiteral("[$-411]ggge\"\u5E74\"m\"\u6708\"d\"\u65E5\";@");
    EXPECT_EQ(f.formatNumber(44197, era), QStringLiteral("\u4EE4\u548C3\u5E741\u67081\u65E5"));
    EXPECT_EQ(f.formatNumber(32515, era), QStringLiteral("\u662D\u548C64\u5E741\u67087\u65E5"));
    EXPECT_EQ(f.formatNumber(32516, era), QStringLiteral("\u5E73\u62101\u5E741\u67088\u65E5"));
    EXPECT_EQ(f.formatNumber(43586, QStringLiteral("[$-411]gee")), QStringLiteral("R01"));
    EXPECT_EQ(f.formatNumber(43585, QStringLiteral("[$-0411]gge")), QStringLiteral("\u5E7331"));
    EXPECT_EQ(f.formatNumber(44197, QStringLiteral("ggge/mm")), QStringLiteral("2021/01"));
    EXPECT_EQ(f.formatNumber(44197, QStringLiteral("[$-409]e")), QStringLiteral("2021"));
}
