#pragma once
// The eight ways the organised copy builds folders from a file's type token and creation date:
// "Year-Month" puts a file created in January 2007 into "2007-January", "Year\Month" into
// "2007" and inside it "2007-1-January". Month names are the full names in the user's language.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace quenda {

enum class FolderScheme {
    None,
    Ext,
    Year,
    YearMonth,
    YearSlashMonth,
    ExtYearMonth,
    YearExt,
    YearMonthExt,
};

// The names the dialog offers, in its order: "None", "Ext", "Year(Date Cr.)", "Year-Month",
// "Year\Month", "Ext-Year-Month", "Year-Ext", "Year-Month-Ext".
QStringList folderSchemeNames();
QString folderSchemeName(FolderScheme scheme);
// Exact names only; nothing for any other text.
std::optional<FolderScheme> folderSchemeFromName(const QString &name);

// The folders, outermost first, that the scheme builds below the destination for a file of
// that type and date. Empty means the destination itself: "None", and every scheme whose type
// or date the file lacks.
QStringList schemeFolders(FolderScheme scheme, const QString &type, QDate date,
                          const QLocale &locale = QLocale());

} // namespace quenda
