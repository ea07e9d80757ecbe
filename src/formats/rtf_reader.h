#pragma once
// Plain text out of an RTF document, as a rich-text box gives it: paragraphs and line breaks as
// CR LF, \tab as a tab, table cells separated by tabs and rows by line ends, \'hh decoded in the
// document's code page, \uN with its \ucN fallback skipped, \* and non-text destinations
// skipped. A list item's number or bullet comes before its text, indented four blanks per level.
// Malformed input never crashes or hangs the reader.

#include <QByteArrayView>
#include <QString>

namespace quenda {

QString rtfToPlainText(QByteArrayView rtf);

// True when the bytes begin (after blanks and an optional UTF-8 BOM) with "{\rtf".
bool looksLikeRtf(QByteArrayView head);

} // namespace quenda
