#pragma once
// How a source value becomes the value of a contact column. The rule of a column follows its
// declared type in the organizer database: dates, numbers, memo text, text of a defined size;
// a column of any other type (yes/no, binary) is not written.

#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <optional>

namespace quenda {

enum class ColumnRule { Date, Number, Memo, Text, Skip };

struct TargetColumn {
    QString name;
    ColumnRule rule = ColumnRule::Memo;
    int size = 0; // characters a Text column holds
};

// The rule for a declared type such as "TEXT(255)", "VARCHAR(40)", "DATE", "INTEGER", "MEMO".
// Text without a size is memo text; an empty type takes anything, as memo text does.
TargetColumn targetColumn(const QString &name, const QString &declaredType);

// The value to store, or a null QVariant when the column stays empty:
// - Date: a source date, or text holding an ISO date or a date in the locale's short form,
//   stored as ISO text "yyyy-MM-dd"; anything else leaves the column empty.
// - Number: a source number as it is; text gives its longest leading decimal number (blanks
//   ignored, "." as the decimal point), 0 when it starts with none; a null stays empty.
// - Memo: the text of the value, whole.
// - Text: the text of the value cut to the column's size.
QVariant importValue(const QVariant &value, const TargetColumn &column,
                     const QLocale &locale = QLocale::system());

// The Text rule on UTF-8 bytes: the longest start of utf8 that holds at most size UTF-16 code
// units, never half of a character (size 0: all of it). The same cut importValue() makes.
QByteArrayView cutUtf8ToSize(QByteArrayView utf8, int size);
// Whether text is a date in the stored form "yyyy-MM-dd" already, so that the Date rule keeps it
// as it stands.
bool isStoredDateText(QByteArrayView text);
// A date in the stored form "yyyy-MM-dd".
QString storedDateText(QDate date);

// The date a value stands for, if any (see Date above).
std::optional<QDate> recognisedDate(const QVariant &value, const QLocale &locale);
// The longest leading decimal number of a text; 0 when it starts with none.
double leadingNumber(QStringView text);
// A source value as text: dates in ISO form, numbers in their shortest form.
QString sourceText(const QVariant &value);

} // namespace quenda
