#pragma once
// Plain text out of an RTF document, as a rich-text box gives it: paragraphs and line breaks as
// CR LF, \tab as a tab, table cells separated by tabs and rows by line ends, \'hh decoded in the
// document's code page, \uN with its \ucN fallback skipped, \* and non-text destinations
// skipped. A list item's number or bullet comes before its text, indented four blanks per level.
// Malformed input never crashes or hangs the reader.

#include "common/result.h"

#include <QByteArrayView>
#include <QString>

namespace quenda {

QString rtfToPlainText(QByteArrayView rtf);

// The most of an RTF file read into memory: the text of a larger one is refused, not read.
inline constexpr qint64 kMaxRtfFileBytes = qint64(64) << 20;
// The plain text of the RTF file at path; a pipe, a device or a file above kMaxRtfFileBytes is
// refused with a sentence that says why.
Result<QString> rtfFileToPlainText(const QString &path);

// True when the bytes begin (after blanks and an optional UTF-8 BOM) with "{\rtf".
bool looksLikeRtf(QByteArrayView head);

} // namespace quenda
