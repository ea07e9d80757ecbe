#include "contacts/import/import_source.h"

#include "formats/table_sources.h"

#include <QDir>
#include <QStringList>

namespace quenda {

namespace {

const char *const kAccess = "Access";

// Filters in the order of tableSourceKinds().
const char *const kFilters[] = {
    "MS Access Database (*.Mdb)|*.mdb;*.MDB;*.Mdb",
    "Text (*.txt;*.csv;*.tab)|*.txt; *.TXT;*.Txt;*.csv;*.CSV;*.Csv;*.tab;*.Tab;*.TAB",
    "FoxPro 2.0 (*.dbf)|*.dbf",
    "FoxPro 2.5 (*.dbf)|*.dbf",
    "FoxPro 2.6 (*.dbf)|*.dbf",
    "FoxPro 3.0 (*.dbf)|*.dbf",
    "dBASE III (*.dbf)|*.dbf",
    "dBASE IV (*.dbf)|*.dbf",
    "dBASE 5.0 (*.dbf)|*.dbf",
    "vCard (*.vcf)|*.vcf",
};

// "*.dbf" becomes "*.[dD][bB][fF]": the dialogs compare names with case on this system.
QString anyCase(const QString &pattern)
{
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

qsizetype lastSeparator(const QString &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (path[i] == QLatin1Char('\\') || path[i] == QLatin1Char('/'))
            return i;
    }
    return -1;
}

} // namespace

bool isAccessKind(const QString &kind)
{
    return kind == QLatin1String(kAccess);
}

bool ImportSource::isAccess() const
{
    return isAccessKind(kind);
}

bool ImportSource::isChosen() const
{
    return !path.isEmpty() && tableSourceKinds().contains(kind) &&
           (!isAccess() || !table.isEmpty());
}

QString ImportSource::describe() const
{
    const QString file = QDir::toNativeSeparators(path);
    return isAccess() ? QStringLiteral("%1 (table %2)").arg(file, table) : file;
}

QString classicFileFilter(const QString &kind)
{
    const qsizetype index = tableSourceKinds().indexOf(kind);
    return index < 0 ? QString() : QString::fromLatin1(kFilters[index]);
}

QString importFileFilter(const QString &kind)
{
    const QString classic = classicFileFilter(kind);
    if (classic.isEmpty())
        return {};
    const qsizetype bar = classic.indexOf(QLatin1Char('|'));
    QStringList patterns;
    QStringList seen;
    for (const QString &part : classic.mid(bar + 1).split(QLatin1Char(';'))) {
        const QString pattern = part.trimmed();
        if (pattern.isEmpty() || seen.contains(pattern, Qt::CaseInsensitive))
            continue;
        seen << pattern;
        patterns << anyCase(pattern);
    }
    return QStringLiteral("%1 (%2)").arg(classic.left(bar), patterns.join(QLatin1Char(' ')));
}

QString stripdir(const QString &path)
{
    return path.left(lastSeparator(path) + 1);
}

} // namespace quenda
