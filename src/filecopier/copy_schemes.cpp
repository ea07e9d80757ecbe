#include "filecopier/copy_schemes.h"

#include <array>
#include <utility>

namespace quenda {

namespace {

constexpr std::array<std::pair<FolderScheme, const char *>, 8> kSchemes{{
    {FolderScheme::None, "None"},
    {FolderScheme::Ext, "Ext"},
    {FolderScheme::Year, "Year(Date Cr.)"},
    {FolderScheme::YearMonth, "Year-Month"},
    {FolderScheme::YearSlashMonth, "Year\\Month"},
    {FolderScheme::ExtYearMonth, "Ext-Year-Month"},
    {FolderScheme::YearExt, "Year-Ext"},
    {FolderScheme::YearMonthExt, "Year-Month-Ext"},
}};

bool needsType(FolderScheme scheme)
{
    return scheme == FolderScheme::Ext || scheme == FolderScheme::ExtYearMonth ||
           scheme == FolderScheme::YearExt || scheme == FolderScheme::YearMonthExt;
}

bool needsDate(FolderScheme scheme)
{
    return scheme != FolderScheme::None && scheme != FolderScheme::Ext;
}

} // namespace

QStringList folderSchemeNames()
{
    QStringList names;
    for (const auto &[scheme, name] : kSchemes)
        names << QString::fromLatin1(name);
    return names;
}

QString folderSchemeName(FolderScheme scheme)
{
    for (const auto &[s, name] : kSchemes)
        if (s == scheme)
            return QString::fromLatin1(name);
    return QString();
}

std::optional<FolderScheme> folderSchemeFromName(const QString &name)
{
    for (const auto &[scheme, text] : kSchemes)
        if (name == QLatin1String(text))
            return scheme;
    return std::nullopt;
}

QStringList schemeFolders(FolderScheme scheme, const QString &type, QDate date,
                          const QLocale &locale)
{
    if ((needsType(scheme) && type.isEmpty()) || (needsDate(scheme) && !date.isValid()))
        return {};
    // Folder names keep plain digits whatever digits the language writes.
    const QString year = QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
    const QString month = locale.standaloneMonthName(date.month(), QLocale::LongFormat);
    const QLatin1Char dash('-');
    switch (scheme) {
    case FolderScheme::None:
        return {};
    case FolderScheme::Ext:
        return {type};
    case FolderScheme::Year:
        return {year};
    case FolderScheme::YearMonth:
        return {year + dash + month};
    case FolderScheme::YearSlashMonth:
        return {year, year + dash + QString::number(date.month()) + dash + month};
    case FolderScheme::ExtYearMonth:
        return {type + dash + year + dash + month};
    case FolderScheme::YearExt:
        return {year + dash + type};
    case FolderScheme::YearMonthExt:
        return {year + dash + month + dash + type};
    }
    return {};
}

} // namespace quenda
