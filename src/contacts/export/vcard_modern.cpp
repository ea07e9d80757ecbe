#include "contacts/export/vcard_modern.h"

#include <initializer_list>

namespace quenda {

namespace {

using namespace card;

constexpr size_t kFoldAt = 75; // octets of a line, line break not counted

bool isBlank(QStringView text)
{
    return text.trimmed().isEmpty();
}

void appendCodePoint(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-8 of text, the four characters a text value may not hold bare as backslash sequences (3.0
// and 4.0 agree on these), every line break one "\n".
void appendText(std::string &out, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out.append("\\n", 2);
            continue;
        }
        if (c == u'\\' || c == u',' || c == u';') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            appendCodePoint(out, QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            appendCodePoint(out, 0xFFFD);
        } else {
            appendCodePoint(out, c);
        }
    }
}

// One card's lines, each made whole and then folded into the output.
class ModernEncoder {
public:
    ModernEncoder(std::string &out, CardVersion version)
        : m_out(out), m_v4(version == CardVersion::V40)
    {
        m_out.clear();
    }

    bool v4() const { return m_v4; }

    void literal(const char *line)
    {
        m_line.assign(line);
        flush();
    }

    // A text value; a structured one gives its components, joined by ";".
    void text(const char *head, std::initializer_list<QStringView> components)
    {
        m_line.assign(head);
        m_line.push_back(':');
        bool first = true;
        for (QStringView c : components) {
            if (!first)
                m_line.push_back(';');
            first = false;
            appendText(m_line, c);
        }
        flush();
    }

    // A text value written only when it holds something.
    void textIfAny(const char *head, QStringView value)
    {
        if (!isBlank(value))
            text(head, {value});
    }

private:
    // Cuts the line every 75 octets, the continuation lines starting with a blank; a cut never
    // falls before a UTF-8 continuation byte.
    void flush()
    {
        size_t at = 0;
        size_t room = kFoldAt;
        while (m_line.size() - at > room) {
            size_t cut = at + room;
            while (cut > at + 1 && (static_cast<unsigned char>(m_line[cut]) & 0xC0) == 0x80)
                --cut;
            m_out.append(m_line, at, cut - at);
            m_out.append("\r\n ", 3);
            at = cut;
            room = kFoldAt - 1;
        }
        m_out.append(m_line, at, std::string::npos);
        m_out.append("\r\n", 2);
    }

    std::string &m_out;
    std::string m_line;
    bool m_v4;
};

struct Typed {
    const char *v3;
    const char *v4;
};

void telephone(ModernEncoder &e, const Typed &head, QStringView number)
{
    if (!isBlank(number))
        e.text(e.v4() ? head.v4 : head.v3, {number});
}

void address(ModernEncoder &e, const Typed &head, const CardRow &r, Field add1)
{
    // add1, add2, city, state, pin, country follow one another in card::Field.
    const auto at = [&](int offset) { return QStringView(r.field[add1 + offset]); };
    bool any = false;
    for (int i = 0; i < 6; ++i)
        any = any || !isBlank(at(i));
    if (!any)
        return;
    // The two address lines are the street's two lines.
    QString street = at(0).toString();
    if (!isBlank(at(0)) && !isBlank(at(1)))
        street += QLatin1Char('\n');
    if (!isBlank(at(1)))
        street += at(1);
    e.text(e.v4() ? head.v4 : head.v3, {u"", u"", street, at(2), at(3), at(4), at(5)});
}

void email(ModernEncoder &e, const Typed &head, QStringView address)
{
    if (!isBlank(address))
        e.text(e.v4() ? head.v4 : head.v3, {address});
}

void web(ModernEncoder &e, const Typed &head, const QString &stored)
{
    if (isBlank(stored))
        return;
    // A web address stored without its scheme gets one, as the 2.1 cards always add it.
    const QString value =
        stored.contains(QLatin1String("://")) ? stored : QStringLiteral("http://") + stored;
    // Escaped like text: common readers split a bare comma off, as they do in any text value.
    e.text(e.v4() ? head.v4 : head.v3, {value});
}

QString formattedName(const CardRow &r)
{
    if (!isBlank(r[NAME]))
        return r[NAME];
    QStringList parts;
    for (Field f : {TITLE, FIRST, LAST})
        if (!isBlank(r[f]))
            parts << r[f].trimmed();
    return parts.isEmpty() ? r[COMPANY] : parts.join(QLatin1Char(' '));
}

} // namespace

void encodeModernCard(const CardRow &r, CardKind kind, CardVersion version, const QString &birthday,
                      std::string &out)
{
    ModernEncoder e(out, version);
    const bool home = kind != CardKind::Work;
    const bool work = kind != CardKind::Home;
    e.literal("BEGIN:VCARD");
    e.literal(e.v4() ? "VERSION:4.0" : "VERSION:3.0");
    // 3.0 requires N even when the table holds no part of the name; 4.0 does not.
    if (!e.v4() || !isBlank(r[LAST]) || !isBlank(r[FIRST]) || !isBlank(r[TITLE]))
        e.text("N", {r[LAST], r[FIRST], u"", r[TITLE], u""});
    e.text("FN", {formattedName(r)});
    if (home)
        e.textIfAny("NICKNAME", r[NICK]);
    if (work) {
        e.textIfAny("ORG", r[COMPANY]);
        e.textIfAny("TITLE", r[JOB_TITLE]);
    }
    if (home && !isBlank(r[SPOUSE]))
        e.text(e.v4() ? "RELATED;TYPE=spouse;VALUE=text" : "X-SPOUSE", {r[SPOUSE]});

    const Typed workVoice{"TEL;TYPE=WORK,VOICE", "TEL;TYPE=work,voice"};
    const Typed homeVoice{"TEL;TYPE=HOME,VOICE", "TEL;TYPE=home,voice"};
    if (work)
        for (Field f : {W_PH1, W_PH2, W_PH3})
            telephone(e, workVoice, r[f]);
    if (home)
        for (Field f : {H_PH1, H_PH2, H_PH3})
            telephone(e, homeVoice, r[f]);
    telephone(e, {"TEL;TYPE=CELL,VOICE", "TEL;TYPE=cell,voice"}, r[MOBILE]);
    if (work)
        telephone(e, {"TEL;TYPE=WORK,FAX", "TEL;TYPE=work,fax"}, r[FAX]);

    if (work)
        address(e, {"ADR;TYPE=WORK", "ADR;TYPE=work"}, r, W_ADD1);
    if (home)
        address(e, {"ADR;TYPE=HOME", "ADR;TYPE=home"}, r, H_ADD1);
    if (work)
        address(e, {"ADR;TYPE=POSTAL", "ADR;TYPE=postal"}, r, B_ADD1);

    if (home && birthday.size() == 8) {
        // 3.0 readers expect the extended date form, 4.0 the basic one.
        const QString date = e.v4() ? birthday
                                    : birthday.left(4) + QLatin1Char('-') + birthday.mid(4, 2) +
                                          QLatin1Char('-') + birthday.mid(6, 2);
        e.text("BDAY", {date});
    }

    if (home) {
        email(e, {"EMAIL;TYPE=INTERNET,HOME,PREF", "EMAIL;TYPE=home;PREF=1"}, r[H_EMAIL1]);
        email(e, {"EMAIL;TYPE=INTERNET,HOME", "EMAIL;TYPE=home"}, r[H_EMAIL2]);
    }
    if (work) {
        email(e, {"EMAIL;TYPE=INTERNET,WORK", "EMAIL;TYPE=work"}, r[B_EMAIL1]);
        email(e, {"EMAIL;TYPE=INTERNET,WORK", "EMAIL;TYPE=work"}, r[B_EMAIL2]);
    }
    if (home)
        web(e, {"URL;TYPE=HOME", "URL;TYPE=home"}, r[H_WEB]);
    if (work)
        web(e, {"URL;TYPE=WORK", "URL;TYPE=work"}, r[B_WEB]);
    e.literal("END:VCARD");
}

} // namespace quenda
