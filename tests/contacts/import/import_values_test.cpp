#include "contacts/import/import_values.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace quenda;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

QVariant into(const QString &declaredType, const QVariant &value, const QLocale &locale = kUs)
{
    return importValue(value, targetColumn(QStringLiteral("C"), declaredType), locale);
}

} // namespace

TEST(ImportValues, DeclaredTypesChooseTheRuleAndNumbersTakeTheLeadingDecimalNumber)
{
    EXPECT_EQ(targetColumn("A", "varchar( 40 )").size, 40);
    // Text without a size is a memo.
    const std::pair<const char *, ColumnRule> rules[] = {
        {"TEXT(255)", ColumnRule::Text}, {"TEXT", ColumnRule::Memo},
        {"", ColumnRule::Memo},          {"DATE", ColumnRule::Date},
        {"DATETIME", ColumnRule::Date},  {"DATE TEXT", ColumnRule::Date},
        {"INTEGER", ColumnRule::Number}, {"NUMERIC(10,2)", ColumnRule::Number},
        {"DOUBLE", ColumnRule::Number},  {"BOOLEAN", ColumnRule::Skip},
        {"BLOB", ColumnRule::Skip}};
    for (const auto &[type, rule] : rules)
        EXPECT_EQ(targetColumn("A", type).rule, rule) << type;

    // Numbers take the leading decimal number.
    EXPECT_EQ(into("INTEGER", QStringLiteral("12 kg")), QVariant(qint64(12)));
    EXPECT_EQ(into("INTEGER", QStringLiteral("abc")), QVariant(qint64(0)));
    EXPECT_EQ(into("INTEGER", QStringLiteral(" 1 234")), QVariant(qint64(1234))) << "blanks";
    EXPECT_EQ(into("DOUBLE", QStringLiteral("-3.25 EUR")), QVariant(-3.25));
    EXPECT_EQ(into("DOUBLE", QStringLiteral("2,5")), QVariant(qint64(2))) << "'.' only";
    EXPECT_EQ(into("DOUBLE", QStringLiteral("1.5e3x")), QVariant(qint64(1500)));
    EXPECT_EQ(into("DOUBLE", QStringLiteral("7e")), QVariant(qint64(7))) << "no exponent digits";
    EXPECT_EQ(into("DOUBLE", QStringLiteral(".5")), QVariant(0.5));
    EXPECT_EQ(into("INTEGER", QStringLiteral("-")), QVariant(qint64(0)));
    EXPECT_EQ(into("INTEGER", QStringLiteral("99999999999999999999")).toDouble(), 1e20)
        << "beyond whole numbers stays a number";
    EXPECT_EQ(into("INTEGER", QVariant(42.5)), QVariant(42.5)) << "a source number as it is";
    // A null source value leaves the column empty instead of stopping the import.
    EXPECT_TRUE(into("INTEGER", QVariant()).isNull());
}

TEST(ImportValues, DatesFromIsoTextTheLocaleAndTheSourcesOwnType)
{
    const QVariant may17(QStringLiteral("1980-05-17"));
    EXPECT_EQ(into("DATE", QStringLiteral("1980-05-17")), may17);
    EXPECT_EQ(into("DATE", QStringLiteral(" 1980-05-17T08:30:00 ")), may17);
    EXPECT_EQ(into("DATE", QStringLiteral("5/17/80")), may17) << "US short date";
    EXPECT_EQ(into("DATE", QStringLiteral("5/17/1980")), may17) << "four-digit year";
    EXPECT_EQ(into("DATE", QStringLiteral("5/17/1980 0:00:00")), may17) << "with a time";
    EXPECT_EQ(into("DATE", QStringLiteral("17.05.80"), kGerman), may17);
    EXPECT_EQ(into("DATE", QStringLiteral("1/2/29")), QVariant(QStringLiteral("2029-01-02")));
    EXPECT_EQ(into("DATE", QStringLiteral("1/2/30")), QVariant(QStringLiteral("1930-01-02")));
    EXPECT_EQ(into("DATE", QDate(632, 1, 1)), QVariant(QStringLiteral("0632-01-01")));
    // A source date-time late in the day keeps its own date: no time zone moves it.
    const QDateTime lateUtc(QDate(2021, 12, 2), QTime(23, 30), QTimeZone::utc());
    EXPECT_EQ(into("DATE", lateUtc), QVariant(QStringLiteral("2021-12-02")));

    for (const char *notADate : {"next week", "1980-02-30", "17/5/80", "12", ""})
        EXPECT_TRUE(into("DATE", QString::fromUtf8(notADate)).isNull()) << notADate;
    EXPECT_TRUE(into("DATE", QVariant(44532)).isNull()) << "a plain number is no date";
}

// The byte forms of the rules agree with the rules on QString for every cut and date.
TEST(ImportValues, TextIsCutToTheColumnSizeAndTheRulesOnUtf8BytesAgree)
{
    const char *samples[] = {"",
                             "plain",
                             "Zo\xC3\xAB K\xC3\xBChn",
                             "\xE2\x82\xAC\xE2\x82\xAC",
                             "a\xF0\x9F\x98\x80\xF0\x9F\x98\x80z",
                             "\xF0\x9F\x98\x80"};
    for (const char *sample : samples) {
        const QByteArray utf8(sample);
        for (int size = 1; size <= 8; ++size) {
            const QString cut =
                into(QStringLiteral("TEXT(%1)").arg(size), QString::fromUtf8(utf8)).toString();
            EXPECT_EQ(QString::fromUtf8(cutUtf8ToSize(utf8, size)), cut)
                << sample << " cut to " << size;
        }
    }

    for (const QDate date : {QDate(1, 1, 1), QDate(632, 1, 1), QDate(1980, 5, 17),
                             QDate(9999, 12, 31), QDate(10000, 1, 1), QDate(-5, 3, 1)})
        EXPECT_EQ(storedDateText(date), date.toString(Qt::ISODate)) << date.year();
    for (const char *kept : {"1980-05-17", "2000-02-29", "0001-01-01"})
        EXPECT_TRUE(isStoredDateText(kept)) << kept;
    for (const char *notKept : {"1980-5-17", "1980-05-1x", "0000-01-01", "1981-02-29",
                                "1980-05-17 ", "1980/05/17", "+980-05-17"})
        EXPECT_FALSE(isStoredDateText(notKept)) << notKept;

    // Text is cut to the column size, memo is kept whole.
    const QString longText(300, QLatin1Char('x'));
    EXPECT_EQ(into("TEXT(255)", longText).toString().size(), 255);
    EXPECT_EQ(into("TEXT", longText).toString(), longText);
    EXPECT_EQ(into("TEXT(5)", QStringLiteral("O'Brien")), QVariant(QStringLiteral("O'Bri")));
    // A character outside the Basic Multilingual Plane is never cut in half.
    const QString emoji = QStringLiteral("ab") + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(into("TEXT(3)", emoji), QVariant(QStringLiteral("ab")));
    EXPECT_EQ(into("TEXT(10)", QDate(2005, 4, 1)), QVariant(QStringLiteral("2005-04-01")));
    EXPECT_EQ(into("TEXT(10)", QVariant(25.5)), QVariant(QStringLiteral("25.5")));
    EXPECT_EQ(into("TEXT(10)", QVariant(true)), QVariant(QStringLiteral("True")));
    EXPECT_TRUE(into("TEXT(10)", QVariant()).isNull());
    EXPECT_TRUE(into("BOOLEAN", QStringLiteral("yes")).isNull()) << "other types are not written";
}
