#pragma once
// Path and size helpers shared by the windows. Paths from the database or typed in the old form
// may use either "\" or "/" as separator; both end a folder in lastPathComponent and
// fileNameOfPath. A path read from the file system is split by localFileName only, since "\" is
// an ordinary character of a Linux file name.

#include <QLocale>
#include <QString>

namespace quenda {

// Text after the last separator; "" when there is none.
QString lastPathComponent(const QString &path);
// Text after the last separator; the whole text when there is none.
QString fileNameOfPath(const QString &path);
// The name of a file-system path: the text after the last "/", the whole text when there is
// none.
QString localFileName(const QString &path);
// "512Byte", "17Kb", "1.5Mb": whole kilobytes and megabytes to two decimals, halves to even.
QString sizeText(qint64 bytes, const QLocale &locale = QLocale());
// Rounds half to the even neighbour, as the size text needs.
double roundHalfEven(double value, int decimals);

} // namespace quenda
