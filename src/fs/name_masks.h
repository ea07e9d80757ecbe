#pragma once
// File masks as the user types them ("*.doc;*.RTF"): '*' stands for any run of characters,
// '?' for exactly one, and letters match in either case. Names are tested as the bytes the
// system gives, so a scan decodes only the names that match.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quenda {

class NameMasks {
public:
    // No masks: every name matches.
    NameMasks() = default;
    // Blank masks are left out; surrounding blanks are trimmed.
    explicit NameMasks(const QStringList &masks);
    // Masks separated by ";" ("*.rtf;*.txt;").
    static NameMasks fromText(const QString &masks);

    bool matchesEverything() const { return m_masks.empty(); }
    bool matches(QByteArrayView nativeName) const;
    bool matches(QStringView name) const;
    QStringList masks() const;

private:
    struct Mask {
        QString text;
        QByteArray ascii; // lower-cased; empty when the mask holds other characters
    };
    std::vector<Mask> m_masks;
};

// The shared matcher: '*' and '?' wildcards, letters compared case-folded.
bool wildcardMatch(QStringView name, QStringView mask);

// Order for people: runs of digits compare by value ("Day 2" before "Day 10"), letters without
// regard to case; names equal that way fall back to a plain comparison, so the order is total.
int naturalCompare(QStringView a, QStringView b);

} // namespace quenda
