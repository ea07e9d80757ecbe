#pragma once
// Text files for the device: Windows-1252 when every character fits, otherwise UTF-8 so
// that nothing turns into question marks. Line ends are the caller's (CR LF by convention).

#include "common/result.h"

#include <QByteArray>
#include <QString>

namespace quenda {

bool fitsWindows1252(QStringView text);
// Characters outside Windows-1252 become '?'; check with fitsWindows1252 first.
QByteArray toWindows1252(QStringView text);
QString fromWindows1252(QByteArrayView bytes);
// Windows-1252 bytes when the text fits, UTF-8 otherwise.
QByteArray encodeForDevice(QStringView text);
// The same, but UTF-8 starts with a byte-order mark, for files a reader must tell apart from
// Windows-1252 without guessing.
QByteArray encodeForDeviceMarked(QStringView text);
// Turns LF, CR and CR LF line ends alike into CR LF.
QString withCrLf(const QString &text);
// Creates or replaces the file with the bytes: they go to a temporary name in the file's folder
// first and are renamed into place, so a failed write leaves an earlier file whole, and a
// symbolic link at the path is replaced, never followed. A replaced file keeps its permissions.
// A failure names the file and gives the system's reason.
Status writeBytesFile(const QString &path, QByteArrayView bytes);
// The same for the encoded text.
Status writeTextFile(const QString &path, QStringView text);

} // namespace quenda
