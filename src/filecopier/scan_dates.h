#pragma once
// The dates the file copier records and reads back. A recorded date is text, "Jan-05-2024",
// with the month abbreviated in the language of the user who ran the scan; the organised copy
// takes its year and month from that text again, so reading accepts that language's month
// names and English ones.

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

namespace quenda {

// "MMM-dd-yyyy" in the locale's language; "" for an invalid date.
QString formatScanDate(QDate date, const QLocale &locale = QLocale());
// The date of a recorded text: the locale's month names, short or long, or English ones, any
// letter case. An invalid date when the text is no such date.
QDate parseScanDate(const QString &text, const QLocale &locale = QLocale());

// A scan formats the same few days again and again: each day is formatted once.
class ScanDateFormatter {
public:
    explicit ScanDateFormatter(const QLocale &locale = QLocale()) : m_locale(locale) {}
    QString format(QDate date);

private:
    QLocale m_locale;
    QHash<qint64, QString> m_cache;
};

// "03-05-2008": month, day and year, as the properties window shows a date.
QString propertyDateText(const QDateTime &when);

} // namespace quenda
