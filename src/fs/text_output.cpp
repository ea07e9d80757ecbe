#include "fs/text_output.h"

#include "fs/atomic_file.h"

#include <array>

namespace quenda {

namespace {
// Windows-1252 bytes 0x80..0x9F; 0 marks the five bytes the code page leaves undefined.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int byteFor(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] != 0 && kHigh[i] == c)
            return static_cast<int>(0x80 + i);
    return -1;
}
} // namespace

bool fitsWindows1252(QStringView text)
{
    for (QChar c : text)
        if (byteFor(c.unicode()) < 0)
            return false;
    return true;
}

QByteArray toWindows1252(QStringView text)
{
    QByteArray out;
    out.resize(text.size());
    char *p = out.data();
    for (QChar c : text) {
        const int b = byteFor(c.unicode());
        *p++ = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *p = out.data();
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0)
            *p++ = QChar(kHigh[b - 0x80]);
        else
            *p++ = QChar(b); // the five undefined bytes map to the C1 controls, as Windows does
    }
    return out;
}

QByteArray encodeForDevice(QStringView text)
{
    return fitsWindows1252(text) ? toWindows1252(text) : text.toUtf8();
}

QByteArray encodeForDeviceMarked(QStringView text)
{
    return fitsWindows1252(text) ? toWindows1252(text) : "\xEF\xBB\xBF" + text.toUtf8();
}

QString withCrLf(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            out += QLatin1String("\r\n");
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

Status writeBytesFile(const QString &path, QByteArrayView bytes)
{
    return writeFileAtomically(path, bytes);
}

Status writeTextFile(const QString &path, QStringView text)
{
    return writeBytesFile(path, encodeForDevice(text));
}

} // namespace quenda
