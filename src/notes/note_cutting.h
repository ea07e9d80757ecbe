#pragma once
// Cutting a note into small pieces for the device's note reader.

#include <QString>
#include <QStringList>

namespace quenda {

inline constexpr QStringView kSectionMarker = u"@*@";

// Puts the marker after the 100th, 200th, ... character of the growing text, up to the length
// of the original text. The markers count, so the first piece holds 100 characters and every
// later full piece 97. Characters are code points: a surrogate pair is never cut, and neither
// is a CR LF (its marker follows the LF).
QString insertSectionBreaks(const QString &text, int every = 100);
// The text between markers, numbered from 0; empty pieces are kept.
QStringList sectionPieces(const QString &markedText);
// "notes.txt" and 1 give "notes.txt1.txt".
QString pieceFileName(const QString &noteName, int number);

} // namespace quenda
