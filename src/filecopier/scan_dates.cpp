#include "filecopier/scan_dates.h"

#include <QStringList>

namespace quenda {

namespace {

// A month name as the reader meets it: trailing dots of abbreviations ("janv.") do not count.
QString monthKey(QString name)
{
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    return name.toCaseFolded();
}

int monthOfName(const QString &name, const QLocale &locale)
{
    const QString key = monthKey(name);
    if (key.isEmpty())
        return 0;
    for (const QLocale &lang : {locale, QLocale::c()}) {
        for (int month = 1; month <= 12; ++month) {
            for (QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat}) {
                if (monthKey(lang.monthName(month, format)) == key ||
                    monthKey(lang.standaloneMonthName(month, format)) == key)
                    return month;
            }
        }
    }
    return 0;
}

// Some languages write their own digits in dates.
int numberOf(const QString &text, const QLocale &locale)
{
    bool ok = false;
    int value = locale.toInt(text, &ok);
    if (!ok)
        value = text.toInt(&ok);
    return ok ? value : -1;
}

} // namespace

QString formatScanDate(QDate date, const QLocale &locale)
{
    if (!date.isValid())
        return QString();
    return locale.toString(date, QStringLiteral("MMM-dd-yyyy"));
}

QDate parseScanDate(const QString &text, const QLocale &locale)
{
    // From the right: a month name may itself hold a "-", the day and the year never do.
    const QString trimmed = text.trimmed();
    const qsizetype yearDash = trimmed.lastIndexOf(QLatin1Char('-'));
    if (yearDash <= 0)
        return QDate();
    const qsizetype dayDash = trimmed.lastIndexOf(QLatin1Char('-'), yearDash - 1);
    if (dayDash <= 0)
        return QDate();
    const int year = numberOf(trimmed.mid(yearDash + 1), locale);
    const int day = numberOf(trimmed.mid(dayDash + 1, yearDash - dayDash - 1), locale);
    if (year <= 0 || day <= 0)
        return QDate();
    const int month = monthOfName(trimmed.left(dayDash), locale);
    return month == 0 ? QDate() : QDate(year, month, day);
}

QString ScanDateFormatter::format(QDate date)
{
    if (!date.isValid())
        return QString();
    const qint64 day = date.toJulianDay();
    auto it = m_cache.constFind(day);
    if (it != m_cache.constEnd())
        return *it;
    const QString text = formatScanDate(date, m_locale);
    m_cache.insert(day, text);
    return text;
}

QString propertyDateText(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("MM-dd-yyyy")) : QString();
}

} // namespace quenda
