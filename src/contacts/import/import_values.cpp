#include "contacts/import/import_values.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>

namespace quenda {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\n');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Two-digit years fall in 1930 to 2029, as the organizer's dates always have.
QDate pivotTwoDigitYear(QDate date)
{
    return date.year() < 1930 ? date.addYears(100) : date;
}

std::optional<QDate> localeDate(const QString &text, const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    const bool twoDigitYear =
        format.contains(QLatin1String("yy")) && !format.contains(QLatin1String("yyyy"));
    // "yyyy" would also take "80" as the year 80: a year of four digits is read as one.
    static const QRegularExpression fourDigits(QStringLiteral("\\d{4}"));
    const bool longYear = twoDigitYear && text.contains(fourDigits);
    if (longYear)
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    const QDate date = locale.toDate(text, format);
    if (!date.isValid())
        return std::nullopt;
    return twoDigitYear && !longYear ? pivotTwoDigitYear(date) : date;
}

std::optional<QDate> dateFromText(const QString &raw, const QLocale &locale)
{
    const QString text = raw.trimmed();
    if (text.size() >= 10) {
        const QChar after = text.size() > 10 ? text[10] : QLatin1Char(' ');
        if (after == QLatin1Char(' ') || after == QLatin1Char('T')) {
            const QDate iso = QDate::fromString(text.left(10), Qt::ISODate);
            if (iso.isValid())
                return iso;
        }
    }
    if (const auto d = localeDate(text, locale))
        return d;
    // A date followed by a time of day, as databases export them.
    if (const qsizetype blank = text.indexOf(QLatin1Char(' ')); blank > 0)
        return localeDate(text.left(blank), locale);
    return std::nullopt;
}

QVariant numberValue(double number)
{
    constexpr double kWholeLimit = 9007199254740992.0; // 2^53: still exact as a double
    if (number < kWholeLimit && number > -kWholeLimit &&
        number == static_cast<double>(static_cast<qint64>(number)))
        return static_cast<qint64>(number);
    return number;
}

QString cutToSize(const QString &text, int size)
{
    if (size <= 0 || text.size() <= size)
        return text;
    qsizetype end = size;
    // Never leave half of a character outside the Basic Multilingual Plane behind.
    if (text[end - 1].isHighSurrogate())
        --end;
    return text.left(end);
}

} // namespace

TargetColumn targetColumn(const QString &name, const QString &declaredType)
{
    TargetColumn column;
    column.name = name;
    const QString type = declaredType.trimmed().toUpper();
    static const QRegularExpression sized(QStringLiteral("\\(\\s*(\\d+)"));
    auto has = [&](const char *word) { return type.contains(QLatin1String(word)); };
    // Dates first: a date column may be declared "DATE TEXT" to keep text affinity.
    if (has("DATE") || has("TIME")) {
        column.rule = ColumnRule::Date;
    } else if (type.isEmpty() || has("MEMO") || has("CLOB")) {
        column.rule = ColumnRule::Memo;
    } else if (has("CHAR") || has("TEXT") || has("STRING")) {
        const QRegularExpressionMatch m = sized.match(type);
        const int size = m.hasMatch() ? m.captured(1).toInt() : 0;
        column.rule = size > 0 ? ColumnRule::Text : ColumnRule::Memo;
        column.size = size;
    } else if (has("BOOL") || has("BIT") || has("BLOB") || has("BINARY") || has("OLE")) {
        column.rule = ColumnRule::Skip;
    } else if (has("INT") || has("REAL") || has("FLOA") || has("DOUB") || has("NUM") ||
               has("DEC") || has("SINGLE") || has("CURRENCY") || has("MONEY")) {
        column.rule = ColumnRule::Number;
    } else {
        column.rule = ColumnRule::Skip;
    }
    return column;
}

double leadingNumber(QStringView text)
{
    QByteArray number;
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && isBlank(text[i]))
            ++i;
    };
    auto digits = [&] {
        bool any = false;
        for (skipBlanks(); i < text.size() && isDigit(text[i]); skipBlanks()) {
            number += char(text[i++].unicode());
            any = true;
        }
        return any;
    };
    skipBlanks();
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        number += char(text[i++].unicode());
    bool any = digits();
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        any = digits() || any;
    }
    if (!any)
        return 0;
    if (i < text.size() && (text[i].toUpper() == QLatin1Char('E'))) {
        // An exponent counts only when digits follow it.
        const qsizetype mark = i;
        const qsizetype kept = number.size();
        number += 'e';
        ++i;
        skipBlanks();
        if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
            number += char(text[i++].unicode());
        if (!digits()) {
            number.truncate(kept);
            i = mark;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0;
}

QByteArrayView cutUtf8ToSize(QByteArrayView utf8, int size)
{
    // A UTF-8 character never takes fewer bytes than UTF-16 code units.
    if (size <= 0 || utf8.size() <= size)
        return utf8;
    qsizetype units = 0;
    qsizetype i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const int charUnits = bytes == 4 ? 2 : 1;
        if (units + charUnits > size)
            break;
        units += charUnits;
        i = std::min(i + bytes, utf8.size());
    }
    return utf8.first(i);
}

bool isStoredDateText(QByteArrayView text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    int parts[3] = {0, 0, 0};
    const int starts[3] = {0, 5, 8};
    const int lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (int k = 0; k < lengths[p]; ++k) {
            const char c = text[starts[p] + k];
            if (c < '0' || c > '9')
                return false;
            parts[p] = parts[p] * 10 + (c - '0');
        }
    }
    // Year 0 is no date: such text goes the long way and is refused there.
    return QDate(parts[0], parts[1], parts[2]).isValid();
}

QString storedDateText(QDate date)
{
    // Formatting through Qt's general date formatter costs more than the rest of a record.
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return date.toString(Qt::ISODate);
    char text[10];
    int year = date.year();
    for (int k = 3; k >= 0; --k, year /= 10)
        text[k] = char('0' + year % 10);
    text[4] = text[7] = '-';
    text[5] = char('0' + date.month() / 10);
    text[6] = char('0' + date.month() % 10);
    text[8] = char('0' + date.day() / 10);
    text[9] = char('0' + date.day() % 10);
    return QString::fromLatin1(text, 10);
}

std::optional<QDate> recognisedDate(const QVariant &value, const QLocale &locale)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().isValid() ? std::optional(value.toDate()) : std::nullopt;
    case QMetaType::QDateTime: {
        // Readers give the stored wall-clock time as UTC: its date is the stored date.
        const QDateTime stamp = value.toDateTime();
        return stamp.isValid() ? std::optional(stamp.date()) : std::nullopt;
    }
    case QMetaType::QString:
        return dateFromText(value.toString(), locale);
    default:
        return std::nullopt;
    }
}

QString sourceText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return storedDateText(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime stamp = value.toDateTime();
        if (stamp.time() == QTime(0, 0))
            return storedDateText(stamp.date());
        return stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return value.toString();
    }
}

QVariant importValue(const QVariant &value, const TargetColumn &column, const QLocale &locale)
{
    if (value.isNull() || column.rule == ColumnRule::Skip)
        return {};
    switch (column.rule) {
    case ColumnRule::Date:
        if (const auto date = recognisedDate(value, locale))
            return storedDateText(*date);
        return {};
    case ColumnRule::Number:
        switch (value.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
        case QMetaType::ULongLong:
        case QMetaType::UInt:
            return value.toLongLong();
        case QMetaType::Double:
        case QMetaType::Float:
            return value.toDouble();
        case QMetaType::Bool:
            return value.toBool() ? qint64(-1) : qint64(0);
        default:
            return numberValue(leadingNumber(sourceText(value)));
        }
    case ColumnRule::Memo:
        return sourceText(value);
    case ColumnRule::Text:
        return cutToSize(sourceText(value), column.size);
    case ColumnRule::Skip:
        break;
    }
    return {};
}

} // namespace quenda
