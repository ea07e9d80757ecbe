#pragma once
// Text in the code pages that foreign files carry: Windows 874, 932, 936, 949, 950 and 1250 to
// 1258, the DOS pages (437, 737, 775, 850, 852, 855, 857, 860 to 866, 869), the Macintosh pages,
// KOI8, ISO 8859 and the Unicode forms. Pages are named by their Windows numbers. A single-byte
// page decodes through a 256-entry table built once per process; the multi-byte pages through
// Qt's converters. Every function here may be called from any thread.

#include <QByteArrayView>
#include <QString>

#include <array>

namespace quenda {

using CodePageTable = std::array<char16_t, 256>;

constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageUtf16Le = 1200;
constexpr int kCodePageUtf16Be = 1201;

bool isKnownCodePage(int codePage);
// The name Qt's converters know the page by; nullptr for an unknown page.
const char *codePageCharsetName(int codePage);
// One byte per character: a table decodes it.
bool isSingleByteCodePage(int codePage);

// The table of a known single-byte page, bytes below 0x80 read as ASCII; nullptr otherwise. The
// table lives as long as the process.
const CodePageTable *codePageTable(int codePage);

inline QString decodeWithTable(const CodePageTable &table, QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char byte : bytes)
        *out++ = QChar(table[static_cast<unsigned char>(byte)]);
    return text;
}

// Decodes bytes in the page; an unknown page decodes as Windows-1252. Each call stands alone: a
// multi-byte character cut off at the end of the bytes becomes U+FFFD.
QString decodeCodePage(int codePage, QByteArrayView bytes);

// The Windows code page of a font character set number (RTF \fcharset, 0 to 255); 0 when the
// character set does not name one (ANSI, default, symbol).
int codePageForCharset(int charset);

// True when the bytes are well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate, nothing above U+10FFFF, no sequence cut off at the end.
bool isValidUtf8(QByteArrayView bytes);

} // namespace quenda
