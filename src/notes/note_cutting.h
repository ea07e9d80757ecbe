#pragma once
// Cutting a note into small pieces for the device's note reader.

#include "jobs/job_control.h"

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
// Writes piece k as pieceFileName(noteName, k) into the staging folder (made when missing).
// The pieces reach the disk together, each before its rename. A piece that cannot be written
// is reported by its file name and the rest go on; a cancel stops after the piece at hand.
// Progress counts the pieces. Returns the file names written, in order.
QStringList writeNotePieces(const QStringList &pieces, const QString &noteName,
                            const QString &stagingDir, JobControl &control);

} // namespace quenda
