#pragma once
// Text files for the device: Windows-1252 when every character fits, otherwise UTF-8 so
// that nothing turns into question marks. Line ends are the caller's (CR LF by convention).

#include <QByteArray>
#include <QString>

namespace quenda {

bool fitsWindows1252(QStringView text);
// Characters outside Windows-1252 become '?'; check with fitsWindows1252 first.
QByteArray toWindows1252(QStringView text);
QString fromWindows1252(QByteArrayView bytes);
// Windows-1252 bytes when the text fits, UTF-8 otherwise.
QByteArray encodeForDevice(QStringView text);
// Turns LF, CR and CR LF line ends alike into CR LF.
QString withCrLf(const QString &text);
// Creates or replaces the file with the bytes. Returns false and fills error on failure.
bool writeBytesFile(const QString &path, QByteArrayView bytes, QString *error = nullptr);
// Creates or replaces the file with the encoded text. Returns false and fills error on failure.
bool writeTextFile(const QString &path, QStringView text, QString *error = nullptr);

} // namespace quenda
