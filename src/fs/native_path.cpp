#include "fs/native_path.h"

#include <algorithm>

namespace quenda {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for bytes 0x80..0xFF
constexpr char16_t kStorageBase = 0xF700; // U+F780..U+F7FF in the database form

bool isEscape(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

bool isStorageEscape(char16_t c)
{
    return c >= 0xF780 && c <= 0xF7FF;
}

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at p (1..4), or 0 when the lead byte starts none. The
// bounds of the second byte exclude overlong forms, surrogates and values past U+10FFFF.
int validSequenceLength(const unsigned char *p, qsizetype left)
{
    const unsigned char b0 = p[0];
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0)
            low = 0xA0;
        else if (b0 == 0xED)
            high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0)
            low = 0x90;
        else if (b0 == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if (!isContinuation(p[i]))
            return 0;
    return length;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

} // namespace

QString fromNativePath(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    if (std::all_of(p, p + n, [](unsigned char b) { return b < 0x80; }))
        return QString::fromLatin1(bytes.data(), n);

    // Each byte yields at most one UTF-16 unit, so n units always suffice.
    QString out(n, Qt::Uninitialized);
    auto *o = reinterpret_cast<char16_t *>(out.data());
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        const int length = validSequenceLength(p + i, n - i);
        if (length == 0) {
            *o++ = char16_t(kEscapeBase + b);
            ++i;
            continue;
        }
        char32_t c = b & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (p[i + k] & 0x3F);
        if (c >= 0x10000) {
            *o++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            *o++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            *o++ = char16_t(c);
        }
        i += length;
    }
    out.truncate(o - reinterpret_cast<char16_t *>(out.data()));
    return out;
}

QByteArray toNativePath(QStringView path)
{
    const char16_t *s = path.utf16();
    const qsizetype n = path.size();
    if (std::all_of(s, s + n, [](char16_t c) { return c < 0x80; }))
        return path.toLatin1();

    QByteArray out;
    out.reserve(n * 3);
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (isEscape(c)) {
            out += char(c - kEscapeBase);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

namespace {

// An escape is a low surrogate on its own; the same unit after a high surrogate is the second
// half of a character beyond U+FFFF.
bool isEscapeAt(QStringView text, qsizetype i)
{
    return isEscape(text[i].unicode()) && (i == 0 || !text[i - 1].isHighSurrogate());
}

} // namespace

bool hasEscapedBytes(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isEscapeAt(text, i))
            return true;
    return false;
}

QString toDatabaseText(const QString &path)
{
    qsizetype first = 0;
    while (first < path.size() && !isEscapeAt(path, first) &&
           !isStorageEscape(path[first].unicode()))
        ++first;
    if (first == path.size())
        return path;
    QString out = path.left(first);
    out.reserve(path.size() + 8);
    for (qsizetype i = first; i < path.size(); ++i) {
        const QChar ch = path[i];
        const char16_t c = ch.unicode();
        if (isEscapeAt(path, i)) {
            out += QChar(char16_t(kStorageBase + (c - kEscapeBase)));
        } else if (isStorageEscape(c)) {
            QByteArray bytes;
            appendUtf8(bytes, c);
            for (char b : bytes)
                out += QChar(char16_t(kStorageBase + static_cast<unsigned char>(b)));
        } else {
            out += ch;
        }
    }
    return out;
}

QString fromDatabaseText(const QString &text)
{
    if (std::none_of(text.begin(), text.end(),
                     [](QChar c) { return isStorageEscape(c.unicode()); }))
        return text;
    // Back to the escaped in-memory form, then through the bytes, so that three stored bytes
    // of a genuine U+F7xx become that character again.
    QString escaped = text;
    for (QChar &ch : escaped)
        if (isStorageEscape(ch.unicode()))
            ch = QChar(char16_t(kEscapeBase + (ch.unicode() - kStorageBase)));
    return fromNativePath(toNativePath(escaped));
}

} // namespace quenda
