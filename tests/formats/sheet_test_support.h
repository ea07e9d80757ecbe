#pragma once
// Shared by the spreadsheet tests: the test files and LibreOffice's CSV oracles.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <ostream>

namespace quenda::test {

// A file of tests/data/xls.
QString sheetData(const QString &name);
QByteArray sheetBytes(const QString &name);
// The rows of a comma-separated oracle (quotes doubled inside quoted fields, LF line ends).
QList<QStringList> csvRows(const QString &name);

} // namespace quenda::test

// Readable QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
