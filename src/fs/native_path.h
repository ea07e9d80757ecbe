#pragma once
// File names on Linux are bytes, not text. These conversions keep every byte: valid UTF-8 is
// decoded as usual and each byte that is not part of valid UTF-8 becomes the lone surrogate
// U+DC80 + byte (bytes 0x80..0xFF), which toNativePath turns back into that byte. Every engine
// under src/fs builds the paths it hands to the system with toNativePath, never with
// QFile::encodeName, which replaces such bytes and so names another file.
//
// SQLite does not keep lone surrogates: it stores U+FFFD instead and may swallow the character
// that follows. Text bound into the database therefore goes through toDatabaseText, and text
// read back through fromDatabaseText; both leave ordinary names exactly as they are.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quenda {

// Bytes to text; never fails and never loses a byte.
QString fromNativePath(QByteArrayView bytes);
// Text to bytes; the exact inverse of fromNativePath. A lone surrogate that fromNativePath
// cannot produce (outside U+DC80..U+DCFF) becomes U+FFFD's bytes.
QByteArray toNativePath(QStringView path);

// True when the text holds at least one escaped byte (a name that is not valid UTF-8).
bool hasEscapedBytes(QStringView text);

// The database form keeps a raw byte as the private-use character U+F700 + byte; a genuine
// U+F780..U+F7FF in a name is stored as its three escaped UTF-8 bytes, so the form is never
// ambiguous. Both functions return their argument unchanged (shared, not copied) when there is
// nothing to map, which is the case for every valid UTF-8 name outside that private range.
QString toDatabaseText(const QString &path);
QString fromDatabaseText(const QString &text);

} // namespace quenda
