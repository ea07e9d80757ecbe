#include "fs/name_masks.h"

#include "fs/native_path.h"

#include <algorithm>

namespace quenda {

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

// Iterative match with one back-track point: linear for the masks people type.
template <class Equal>
bool globMatch(qsizetype nameSize, qsizetype maskSize, Equal equal, auto isStar, auto isAny)
{
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < nameSize) {
        if (m < maskSize && isStar(m)) {
            starM = m++;
            starN = n;
        } else if (m < maskSize && (isAny(m) || equal(n, m))) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < maskSize && isStar(m))
        ++m;
    return m == maskSize;
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

} // namespace

bool wildcardMatch(QStringView name, QStringView mask)
{
    return globMatch(
        name.size(), mask.size(),
        [&](qsizetype n, qsizetype m) { return mask[m].toCaseFolded() == name[n].toCaseFolded(); },
        [&](qsizetype m) { return mask[m] == QLatin1Char('*'); },
        [&](qsizetype m) { return mask[m] == QLatin1Char('?'); });
}

NameMasks::NameMasks(const QStringList &masks)
{
    for (const QString &raw : masks) {
        const QString text = raw.trimmed();
        if (text.isEmpty())
            continue;
        Mask mask{text, {}};
        const bool ascii =
            std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (ascii)
            mask.ascii = text.toLatin1().toLower();
        m_masks.push_back(std::move(mask));
    }
}

NameMasks NameMasks::fromText(const QString &masks)
{
    return NameMasks(masks.split(QLatin1Char(';'), Qt::SkipEmptyParts));
}

QStringList NameMasks::masks() const
{
    QStringList out;
    for (const Mask &m : m_masks)
        out << m.text;
    return out;
}

bool NameMasks::matches(QByteArrayView nativeName) const
{
    if (m_masks.empty())
        return true;
    const bool asciiName = std::all_of(nativeName.begin(), nativeName.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    QString decoded;
    for (const Mask &mask : m_masks) {
        if (asciiName && !mask.ascii.isEmpty()) {
            const QByteArray &mt = mask.ascii;
            if (globMatch(
                    nativeName.size(), mt.size(),
                    [&](qsizetype n, qsizetype m) { return lowerAscii(nativeName[n]) == mt[m]; },
                    [&](qsizetype m) { return mt[m] == '*'; },
                    [&](qsizetype m) { return mt[m] == '?'; }))
                return true;
            continue;
        }
        // Letters beyond ASCII need Unicode case folding; decode once for all masks.
        if (decoded.isNull())
            decoded = fromNativePath(nativeName);
        if (wildcardMatch(decoded, mask.text))
            return true;
    }
    return false;
}

bool NameMasks::matches(QStringView name) const
{
    return m_masks.empty() || std::any_of(m_masks.begin(), m_masks.end(), [&](const Mask &m) {
               return wildcardMatch(name, m.text);
           });
}

int naturalCompare(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    int zerosTie = 0; // "Day 02" after "Day 2" when all else is equal
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            qsizetype si = i, sj = j;
            while (si < a.size() && a[si] == QLatin1Char('0'))
                ++si;
            while (sj < b.size() && b[sj] == QLatin1Char('0'))
                ++sj;
            qsizetype ei = si, ej = sj;
            while (ei < a.size() && isAsciiDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isAsciiDigit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? -1 : 1;
            for (qsizetype k = 0; k < ei - si; ++k)
                if (a[si + k] != b[sj + k])
                    return a[si + k] < b[sj + k] ? -1 : 1;
            if (zerosTie == 0 && (si - i) != (sj - j))
                zerosTie = (si - i) < (sj - j) ? -1 : 1;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toCaseFolded(), cb = b[j].toCaseFolded();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    if (zerosTie != 0)
        return zerosTie;
    return a.compare(b);
}

} // namespace quenda
