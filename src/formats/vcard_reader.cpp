#include "formats/vcard_reader.h"

#include "formats/byte_source.h"
#include "formats/codepages.h"

#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace quenda {

namespace {

constexpr qsizetype kBlock = 256 * 1024;
constexpr qsizetype kMaxHeadBytes = 64 * 1024;
// What the first pass keeps of a value: enough to tell BEGIN:VCARD or a bare "http://".
constexpr qsizetype kGlimpse = 16;
constexpr int kNoPreference = 1000;

// The properties read, in the order their fields stand; then the ones that steer the reading.
enum Kind : int {
    KN,
    KFN,
    KNickname,
    KOrg,
    KTitle,
    KTel,
    KEmail,
    KAdr,
    KUrl,
    KBday,
    KNote,
    KSpouse,
    KDataKinds,
    KBegin = KDataKinds,
    KEnd,
    KVersion,
    KAgent,
    KOther,
};

enum TypeBit : quint32 {
    THome = 1u << 0,
    TWork = 1u << 1,
    TCell = 1u << 2,
    TFax = 1u << 3,
    TPager = 1u << 4,
    TMsg = 1u << 5,
    TVideo = 1u << 6,
    TText = 1u << 7,
    TTextphone = 1u << 8,
    TCar = 1u << 9,
    TIsdn = 1u << 10,
    TBbs = 1u << 11,
    TModem = 1u << 12,
    TPcs = 1u << 13,
    TX400 = 1u << 14,
    TPostal = 1u << 15,
    TParcel = 1u << 16,
    TDom = 1u << 17,
    TIntl = 1u << 18,
    TSpouse = 1u << 19,
    TPref = 1u << 20,
    TIgnored = 1u << 21, // VOICE, INTERNET: the defaults
};

// In bit order: the names fields carry.
constexpr QByteArrayView kTypeNames[] = {
    "HOME", "WORK", "CELL",  "FAX", "PAGER", "MSG",    "VIDEO",  "TEXT", "TEXTPHONE", "CAR",
    "ISDN", "BBS",  "MODEM", "PCS", "X400",  "POSTAL", "PARCEL", "DOM",  "INTL",      "SPOUSE"};

constexpr quint32 kTelTypes = THome | TWork | TCell | TFax | TPager | TMsg | TVideo | TText |
                              TTextphone | TCar | TIsdn | TBbs | TModem | TPcs;

const char *const kNParts[] = {"FAMILY", "GIVEN", "ADDITIONAL", "PREFIX", "SUFFIX"};
const char *const kAdrParts[] = {"POBOX",  "EXTENDED",   "STREET", "LOCALITY",
                                 "REGION", "POSTALCODE", "COUNTRY"};
const char *const kOrgParts[] = {"", "UNIT"};
const char *const kWhole[] = {""};

struct KindInfo {
    QByteArrayView name;
    int parts;
    const char *const *partNames;
    quint32 types; // the kinds that name its fields
};

const KindInfo kKinds[KDataKinds] = {
    {"N", 5, kNParts, 0},
    {"FN", 1, kWhole, 0},
    {"NICKNAME", 1, kWhole, 0},
    {"ORG", 2, kOrgParts, 0},
    {"TITLE", 1, kWhole, 0},
    {"TEL", 1, kWhole, kTelTypes},
    {"EMAIL", 1, kWhole, THome | TWork | TX400},
    {"ADR", 7, kAdrParts, THome | TWork | TPostal | TParcel | TDom | TIntl},
    {"URL", 1, kWhole, THome | TWork},
    {"BDAY", 1, kWhole, 0},
    {"NOTE", 1, kWhole, 0},
    {"SPOUSE", 1, kWhole, 0},
};

enum class Encoding { Plain, QuotedPrintable, Base64 };
enum class Version { V21, V30, V40 };

struct Property {
    int kind = KOther;
    quint32 types = 0;
    int pref = kNoPreference;
    Encoding encoding = Encoding::Plain;
    int charset = 0; // a code page; 0 when the property names none
    QByteArray value;
    qint64 length = 0;
    bool blankOnly = true;
    qint64 line = 0;
};

constexpr char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
}

// ASCII letters compared without case; lengths first, as most words differ in length.
template <qsizetype N> bool equalsIgnoringCase(QByteArrayView a, const char (&b)[N])
{
    if (a.size() != N - 1)
        return false;
    for (qsizetype i = 0; i < N - 1; ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = b.size();
    if (a.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

QByteArrayView unquoted(QByteArrayView v)
{
    v = trimmed(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        return v.sliced(1, v.size() - 2);
    return v;
}

quint32 typeBit(QByteArrayView word)
{
    word = trimmed(word);
    for (size_t i = 0; i < std::size(kTypeNames); ++i)
        if (equalsIgnoringCase(word, kTypeNames[i]))
            return 1u << i;
    if (equalsIgnoringCase(word, "MOBILE"))
        return TCell;
    if (equalsIgnoringCase(word, "PREF"))
        return TPref;
    if (equalsIgnoringCase(word, "VOICE") || equalsIgnoringCase(word, "INTERNET"))
        return TIgnored;
    return 0;
}

// The code page a CHARSET parameter names; 0 for none this reader knows.
int charsetPage(QByteArrayView name)
{
    QByteArray key;
    for (char c : name)
        if (c != '-' && c != '_' && c != ' ' && c != '"')
            key.append(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    struct Alias {
        const char *name;
        int page;
    };
    static const Alias aliases[] = {
        {"UTF8", kCodePageUtf8}, {"ISO88591", 1252},  {"LATIN1", 1252},    {"ISOLATIN1", 1252},
        {"ISO88592", 28592},     {"ISO88595", 28595}, {"ISO88597", 28597}, {"ISO885915", 28605},
        {"KOI8R", 20866},        {"KOI8U", 21866},    {"SHIFTJIS", 932},   {"SJIS", 932},
        {"WINDOWS31J", 932},     {"GBK", 936},        {"GB2312", 936},     {"BIG5", 950},
        {"EUCKR", 949},          {"KSC5601", 949},    {"IBM850", 850},     {"IBM437", 437},
        {"IBM866", 866},
    };
    for (const Alias &a : aliases)
        if (key == a.name)
            return a.page;
    const auto numbered = [&](const char *prefix) {
        const qsizetype length = qsizetype(std::strlen(prefix));
        if (!key.startsWith(prefix))
            return 0;
        bool ok = false;
        const int page = key.mid(length).toInt(&ok);
        return ok && isKnownCodePage(page) ? page : 0;
    };
    for (const char *prefix : {"WINDOWS", "CP"})
        if (const int page = numbered(prefix))
            return page;
    return 0;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out.append(in[i]);
            continue;
        }
        if (i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out.append(static_cast<char>(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2])));
            i += 2;
        } else if (i + 1 < in.size()) {
            out.append('='); // not an escape: kept as it stands
        }
        // A last "=" is a soft break that had no line after it.
    }
    return out;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Undoes the escapes of the version into out; an unknown escape stays as it stands.
void unescapeInto(QByteArrayView in, Version version, QByteArray &out)
{
    out.truncate(0);
    out.reserve(in.size());
    const bool modern = version != Version::V21;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c != '\\' || i + 1 == in.size()) {
            out.append(c);
            continue;
        }
        const char n = in[i + 1];
        if (n == ';' || n == ':' || (modern && (n == ',' || n == '\\'))) {
            out.append(n);
            ++i;
        } else if (modern && (n == 'n' || n == 'N')) {
            out.append('\n');
            ++i;
        } else {
            out.append(c);
        }
    }
}

// Whether UTF-8 text is nothing but white space, as QString::trimmed() judges it.
bool isBlankUtf8(QByteArrayView text)
{
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (c >= 0x80) {
            for (const QChar ch : QString::fromUtf8(text))
                if (!ch.isSpace())
                    return false;
            return true;
        }
        if (c != ' ' && (c < '\t' || c > '\r'))
            return false;
    }
    return true;
}

// The components of a structured value, split at each ";" that no backslash escapes.
void splitComponents(QByteArrayView in, std::vector<QByteArrayView> &parts)
{
    parts.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\') {
            ++i;
        } else if (in[i] == ';') {
            parts.push_back(in.sliced(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(in.sliced(start));
}

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == ';' || c == ',';
}

} // namespace

struct VCardReader::Impl {
    std::unique_ptr<ByteSource> source;
    QString name;
    qint64 sourceOffset = 0;
    bool sourceDone = false;
    std::optional<QStringDecoder> transcoder; // UTF-16 files become UTF-8 on the way in
    int codePage = kCodePageUtf8;
    qsizetype bomLength = 0;
    QByteArray raw;

    QByteArray buf;
    qsizetype pos = 0;
    qsizetype end = 0;
    qint64 line = 1;

    QByteArray head;
    Property prop;
    bool passTwo = false;
    bool pendingBegin = false;
    Version version = Version::V30;

    // Field names and their places: a key is a kind with the kinds of its types.
    struct Key {
        int kind;
        quint32 types;
        int order;        // first appearance
        int maxCount = 0; // values on one card, at most
        int firstField = 0;
        int firstSlot = 0;
    };
    QHash<quint64, int> keyIds;
    std::vector<Key> keys;
    std::vector<int> counts; // of the card at hand, per key
    std::vector<int> touched;
    std::vector<int> ranks; // per slot: the preference of the value there
    std::vector<FieldInfo> fields;
    // The values of the card at hand, as UTF-8 in text, each field's by place and length.
    struct Span {
        qsizetype at = 0;
        qsizetype size = -1; // -1: null
    };
    std::vector<Span> spans;
    QByteArray text;
    QByteArray decoded;   // a value undone from QUOTED-PRINTABLE or BASE64
    QByteArray unescaped; // a value or part of one with its escapes undone
    std::vector<QByteArrayView> parts;
    qint64 cards = 0;
    qint64 records = 0;

    QString error;
    bool failed = false;

    void fault(const QString &reason)
    {
        if (!failed)
            error = cannotReadMessage(name, reason);
        failed = true;
    }

    // ---- Bytes

    bool fill()
    {
        if (failed || sourceDone)
            return false;
        if (pos > 0) {
            std::memmove(buf.data(), buf.constData() + pos, size_t(end - pos));
            end -= pos;
            pos = 0;
        }
        raw.resize(kBlock);
        const qint64 got = source->readAt(sourceOffset, raw.data(), kBlock);
        if (got < 0) {
            fault(source->status().message());
            return false;
        }
        if (got == 0) {
            sourceDone = true;
            if (transcoder) // a character cut off at the end
                return appendBytes(QString(transcoder->decode(QByteArrayView())).toUtf8());
            return false;
        }
        sourceOffset += got;
        if (transcoder)
            return appendBytes(QString(transcoder->decode(QByteArrayView(raw.constData(), got)))
                                   .toUtf8()) ||
                   fill();
        return appendBytes(QByteArrayView(raw.constData(), got));
    }

    bool appendBytes(QByteArrayView bytes)
    {
        if (bytes.isEmpty())
            return false;
        if (buf.size() < end + bytes.size())
            buf.resize(std::max(end + bytes.size(), kBlock + 4096));
        std::memcpy(buf.data() + end, bytes.data(), size_t(bytes.size()));
        end += bytes.size();
        return true;
    }

    // At least n bytes after pos, unless the file ends first.
    bool ensure(qsizetype n)
    {
        while (end - pos < n)
            if (!fill())
                return false;
        return true;
    }

    int peek() { return ensure(1) ? static_cast<unsigned char>(buf[pos]) : -1; }

    void consumeBreak()
    {
        const char c = buf[pos++];
        if (c == '\r' && ensure(1) && buf[pos] == '\n')
            ++pos;
        ++line;
    }

    // True when the next line is END:VCARD, which no soft line break may swallow.
    bool nextLineEndsCard()
    {
        constexpr qsizetype n = 9;
        ensure(n + 1);
        if (end - pos < n ||
            !equalsIgnoringCase(QByteArrayView(buf.constData() + pos, n), "END:VCARD"))
            return false;
        return end - pos == n || buf[pos + n] == '\r' || buf[pos + n] == '\n' ||
               buf[pos + n] == ' ' || buf[pos + n] == '\t';
    }

    void rewind()
    {
        sourceOffset = 0;
        sourceDone = false;
        pos = end = 0;
        line = 1;
        if (transcoder)
            transcoder.emplace(codePage == kCodePageUtf16Le ? QStringConverter::Utf16LE
                                                            : QStringConverter::Utf16BE);
        sourceOffset = bomLength;
    }

    // ---- Lines

    enum class Step { Property, Noise, End };

    // One logical line: its name and parameters into prop, then its value, kept up to the
    // length the kind needs and otherwise skipped as it streams by.
    Step readLine()
    {
        if (peek() < 0)
            return Step::End;
        prop.line = line;
        head.truncate(0);
        bool headFits = true;
        bool quoted = false;
        bool colon = false;
        for (;;) {
            if (pos == end && !fill())
                break;
            const char *b = buf.constData();
            qsizetype i = pos;
            for (; i < end; ++i) {
                const char c = b[i];
                if (c == '\r' || c == '\n')
                    break;
                if (c == '"')
                    quoted = !quoted;
                else if (c == ':' && !quoted)
                    break;
            }
            if (headFits && head.size() + (i - pos) <= kMaxHeadBytes)
                head.append(b + pos, i - pos);
            else
                headFits = false;
            pos = i;
            if (i == end)
                continue;
            if (b[i] == ':') {
                ++pos;
                colon = true;
                break;
            }
            consumeBreak();
            const int next = peek();
            if (next != ' ' && next != '\t')
                break;
            ++pos;
        }
        if (!colon)
            return failed ? Step::End : Step::Noise;
        readHead(headFits);

        const bool data = prop.kind < KDataKinds;
        const qsizetype keep = data && passTwo                 ? kMaxValueBytes
                               : (data || prop.kind != KOther) ? kGlimpse
                                                               : 0;
        prop.value.truncate(0);
        prop.length = 0;
        prop.blankOnly = true;
        char last = 0;
        for (;;) {
            if (pos == end && !fill())
                break;
            const char *b = buf.constData();
            qsizetype i = pos;
            while (i < end && b[i] != '\r' && b[i] != '\n')
                ++i;
            if (i > pos) {
                take(b + pos, i - pos, keep);
                last = b[i - 1];
            }
            pos = i;
            if (i == end)
                continue;
            consumeBreak();
            const int next = peek();
            if (next == ' ' || next == '\t') {
                ++pos;
                continue;
            }
            if (prop.encoding == Encoding::QuotedPrintable && last == '=' && next >= 0 &&
                !nextLineEndsCard()) {
                // A soft line break: the "=" goes, the value runs on.
                --prop.length;
                if (prop.value.size() == prop.length + 1)
                    prop.value.chop(1);
                last = 0;
                continue;
            }
            break;
        }
        return failed ? Step::End : Step::Property;
    }

    void take(const char *bytes, qsizetype n, qsizetype keep)
    {
        prop.length += n;
        for (qsizetype i = 0; prop.blankOnly && i < n; ++i)
            prop.blankOnly = isBlankByte(bytes[i]);
        if (prop.value.size() < keep)
            prop.value.append(bytes, std::min(n, keep - prop.value.size()));
    }

    // A file repeats a few heads ("TEL;TYPE=HOME,VOICE") on every card: each is parsed once.
    struct Head {
        int kind;
        quint32 types;
        int pref;
        Encoding encoding;
        int charset;
        int keyId = -1; // its field key, once known
    };
    static constexpr qsizetype kMaxHeads = 4096;
    QHash<QByteArray, int> headIds;
    std::vector<Head> heads;
    int headId = -1; // the head of prop; -1 when it is not kept

    void readHead(bool headFits)
    {
        headId = -1;
        if (headFits) {
            if (const auto found = headIds.constFind(head); found != headIds.cend()) {
                headId = found.value();
                const Head &h = heads[size_t(headId)];
                prop.kind = h.kind;
                prop.types = h.types;
                prop.pref = h.pref;
                prop.encoding = h.encoding;
                prop.charset = h.charset;
                return;
            }
        }
        parseHead(headFits);
        if (headFits && qsizetype(heads.size()) < kMaxHeads) {
            headId = int(heads.size());
            heads.push_back(Head{prop.kind, prop.types, prop.pref, prop.encoding, prop.charset});
            headIds.insert(head, headId);
        }
    }

    void parseHead(bool headFits)
    {
        prop.kind = KOther;
        prop.types = 0;
        prop.pref = kNoPreference;
        prop.encoding = Encoding::Plain;
        prop.charset = 0;
        if (!headFits)
            return;
        // Parameters part at each ";" outside quotes.
        const QByteArrayView all(head);
        qsizetype start = 0;
        bool quoted = false;
        bool first = true;
        QByteArrayView propertyName;
        for (qsizetype i = 0; i <= all.size(); ++i) {
            if (i < all.size() && all[i] == '"')
                quoted = !quoted;
            if (i < all.size() && (all[i] != ';' || quoted))
                continue;
            const QByteArrayView token = trimmed(all.sliced(start, i - start));
            start = i + 1;
            if (first) {
                first = false;
                const qsizetype dot = token.lastIndexOf('.');
                propertyName = dot >= 0 ? token.sliced(dot + 1) : token;
            } else {
                parameter(token);
            }
        }
        prop.kind = kindOf(propertyName);
    }

    void parameter(QByteArrayView token)
    {
        const qsizetype eq = token.indexOf('=');
        if (eq < 0) {
            // 2.1 gives types and encodings bare.
            if (equalsIgnoringCase(token, "QUOTED-PRINTABLE"))
                prop.encoding = Encoding::QuotedPrintable;
            else if (equalsIgnoringCase(token, "BASE64"))
                prop.encoding = Encoding::Base64;
            else
                addTypes(token);
            return;
        }
        const QByteArrayView key = trimmed(token.first(eq));
        const QByteArrayView value = unquoted(token.sliced(eq + 1));
        if (equalsIgnoringCase(key, "TYPE")) {
            addTypes(value);
        } else if (equalsIgnoringCase(key, "ENCODING")) {
            if (equalsIgnoringCase(value, "QUOTED-PRINTABLE"))
                prop.encoding = Encoding::QuotedPrintable;
            else if (equalsIgnoringCase(value, "BASE64") || equalsIgnoringCase(value, "B"))
                prop.encoding = Encoding::Base64;
        } else if (equalsIgnoringCase(key, "CHARSET")) {
            prop.charset = charsetPage(value);
        } else if (equalsIgnoringCase(key, "PREF")) {
            bool ok = false;
            const int rank = value.toInt(&ok);
            prop.pref = std::min(prop.pref, ok && rank > 0 && rank < kNoPreference ? rank : 1);
        }
    }

    void addTypes(QByteArrayView list)
    {
        qsizetype start = 0;
        for (qsizetype i = 0; i <= list.size(); ++i) {
            if (i < list.size() && list[i] != ',')
                continue;
            const quint32 bit = typeBit(unquoted(list.sliced(start, i - start)));
            start = i + 1;
            if (bit == TPref)
                prop.pref = std::min(prop.pref, 1);
            prop.types |= bit;
        }
    }

    int kindOf(QByteArrayView propertyName) const
    {
        for (int k = 0; k < KDataKinds; ++k)
            if (equalsIgnoringCase(propertyName, kKinds[k].name))
                return k;
        if (equalsIgnoringCase(propertyName, "X-SPOUSE") ||
            (equalsIgnoringCase(propertyName, "RELATED") && (prop.types & TSpouse)))
            return KSpouse;
        if (equalsIgnoringCase(propertyName, "BEGIN"))
            return KBegin;
        if (equalsIgnoringCase(propertyName, "END"))
            return KEnd;
        if (equalsIgnoringCase(propertyName, "VERSION"))
            return KVersion;
        if (equalsIgnoringCase(propertyName, "AGENT"))
            return KAgent;
        return KOther;
    }

    bool valueIs(const char *word) const
    {
        return prop.length < kGlimpse && equalsIgnoringCase(trimmed(prop.value), word);
    }

    // No value worth a field: blanks and separators, or a web address that is only its scheme
    // (as a 2.1 card with an empty URL has it).
    bool blank() const
    {
        return prop.blankOnly || (prop.kind == KUrl && (valueIs("http://") || valueIs("https://")));
    }

    // ---- Cards

    // Reads up to the end of the next card: true when there is one.
    bool readCard()
    {
        int depth = 0;
        bool agentOpen = false;
        if (pendingBegin) {
            pendingBegin = false;
            depth = 1;
            startCard();
        }
        for (;;) {
            const Step step = readLine();
            if (step == Step::End) {
                if (failed || depth == 0)
                    return false;
                finishCard(); // a card the file ends in without END
                return true;
            }
            if (step == Step::Noise)
                continue;
            const bool opensAgent = prop.kind == KAgent && prop.blankOnly;
            if (prop.kind == KBegin && valueIs("VCARD")) {
                if (depth == 0) {
                    startCard();
                    depth = 1;
                } else if (agentOpen || depth > 1) {
                    ++depth;
                } else {
                    // The card at hand had no END: it ends here, and this one begins.
                    pendingBegin = true;
                    finishCard();
                    return true;
                }
            } else if (prop.kind == KEnd && valueIs("VCARD")) {
                if (depth > 0 && --depth == 0) {
                    finishCard();
                    return true;
                }
            } else if (depth == 1 && prop.kind == KVersion) {
                version = valueIs("2.1")   ? Version::V21
                          : valueIs("4.0") ? Version::V40
                                           : Version::V30;
            } else if (depth == 1 && prop.kind < KDataKinds) {
                if (prop.length > kMaxValueBytes) {
                    fault(QStringLiteral("the %1 value on line %2 is longer than %3 MiB")
                              .arg(QString::fromLatin1(kKinds[prop.kind].name))
                              .arg(prop.line)
                              .arg(kMaxValueBytes / (1024 * 1024)));
                    return false;
                }
                if (!blank())
                    addProperty();
            }
            agentOpen = opensAgent;
        }
    }

    void startCard()
    {
        version = Version::V30;
        if (passTwo) {
            spans.assign(fields.size(), Span{});
            // A card of huge values leaves no huge buffer behind for the cards after it.
            if (text.capacity() > 4 * kBlock)
                text = QByteArray();
            text.truncate(0);
        }
    }

    void finishCard()
    {
        for (int id : touched) {
            if (!passTwo)
                keys[size_t(id)].maxCount = std::max(keys[size_t(id)].maxCount, counts[size_t(id)]);
            counts[size_t(id)] = 0;
        }
        touched.clear();
        ++cards;
    }

    void addProperty()
    {
        const quint32 types = prop.types & kKinds[prop.kind].types;
        const quint64 code = (quint64(prop.kind) << 32) | types;
        int id = headId >= 0 ? heads[size_t(headId)].keyId : -1;
        if (id < 0) {
            if (auto found = keyIds.constFind(code); found != keyIds.cend()) {
                id = found.value();
            } else {
                if (passTwo)
                    return; // the file changed since it was opened
                id = int(keys.size());
                keyIds.insert(code, id);
                keys.push_back(Key{prop.kind, types, id});
                counts.push_back(0);
            }
            if (headId >= 0)
                heads[size_t(headId)].keyId = id;
        }
        int &count = counts[size_t(id)];
        if (count == 0)
            touched.push_back(id);
        if (!passTwo) {
            ++count;
            return;
        }
        const Key &key = keys[size_t(id)];
        if (count >= key.maxCount)
            return;
        // The preferred values first; among equals, the order of the card.
        const int rank = prop.pref;
        int *slot = ranks.data() + key.firstSlot;
        int at = count;
        while (at > 0 && slot[at - 1] > rank)
            --at;
        const int width = kKinds[key.kind].parts;
        Span *span = spans.data() + key.firstField;
        for (int k = count; k > at; --k) {
            slot[k] = slot[k - 1];
            for (int p = 0; p < width; ++p)
                span[k * width + p] = span[(k - 1) * width + p];
        }
        slot[at] = rank;
        ++count;
        for (int p = 0; p < width; ++p)
            span[at * width + p] = Span{};
        storeValue(key.firstField + at * width, width);
    }

    // Appends a value's text to the card's, as UTF-8, and tells where it stands.
    Span appendText(QByteArrayView raw, int page)
    {
        if (raw.contains('\\')) {
            unescapeInto(raw, version, unescaped);
            raw = unescaped;
        }
        const qsizetype at = text.size();
        if (isAscii(raw) || ((page == 0 || page == kCodePageUtf8) && isValidUtf8(raw)))
            text.append(raw);
        else if (page != 0 && page != kCodePageUtf8)
            text.append(decodeCodePage(page, raw).toUtf8());
        else
            text.append(decodeWithTable(*codePageTable(1252), raw).toUtf8());
        return Span{at, text.size() - at};
    }

    QByteArrayView view(const Span &span) const
    {
        return span.size < 0 ? QByteArrayView()
                             : QByteArrayView(text.constData() + span.at, span.size);
    }

    void storeValue(int field, int width)
    {
        QByteArrayView bytes = prop.value;
        if (prop.encoding == Encoding::QuotedPrintable) {
            decoded = decodeQuotedPrintable(prop.value);
            bytes = decoded;
        } else if (prop.encoding == Encoding::Base64) {
            decoded = QByteArray::fromBase64(prop.value);
            bytes = decoded;
        }
        // A UTF-16 file was turned into UTF-8 already; only encoded bytes keep a character set.
        const int page =
            transcoder && prop.encoding == Encoding::Plain ? kCodePageUtf8 : prop.charset;
        // An empty value is a missing one.
        const auto put = [&](int p, QByteArrayView raw) {
            const Span span = appendText(raw, page);
            spans[size_t(field + p)] = span.size > 0 ? span : Span{};
        };
        if (width == 1) {
            put(0, bytes);
            return;
        }
        splitComponents(bytes, parts);
        if (prop.kind == KOrg) {
            put(0, parts[0]);
            const qsizetype unitsAt = text.size();
            for (size_t i = 1; i < parts.size(); ++i) {
                const qsizetype unitAt = text.size();
                if (unitAt > unitsAt)
                    text.append(", ");
                const Span unit = appendText(parts[i], page);
                if (isBlankUtf8(view(unit)))
                    text.truncate(unitAt);
            }
            spans[size_t(field + 1)] =
                text.size() > unitsAt ? Span{unitsAt, text.size() - unitsAt} : Span{};
            return;
        }
        for (int p = 0; p < width && size_t(p) < parts.size(); ++p)
            put(p, parts[size_t(p)]);
    }

    // ---- The two passes

    Status detectEncoding()
    {
        QByteArray first(4096, Qt::Uninitialized);
        const qint64 got = source->readAt(0, first.data(), first.size());
        if (got < 0)
            return fail(cannotReadMessage(name, source->status().message()));
        first.truncate(got);
        if (first.startsWith("\xEF\xBB\xBF")) {
            bomLength = 3;
        } else if (first.startsWith("\xFF\xFE") || first.startsWith("\xFE\xFF")) {
            bomLength = 2;
            codePage = first.startsWith("\xFF\xFE") ? kCodePageUtf16Le : kCodePageUtf16Be;
        } else if (first.contains('\0')) {
            qsizetype zeroEven = 0, zeroOdd = 0;
            const qsizetype pairs = first.size() / 2;
            for (qsizetype i = 0; i < pairs; ++i) {
                zeroEven += first[2 * i] == 0 ? 1 : 0;
                zeroOdd += first[2 * i + 1] == 0 ? 1 : 0;
            }
            if (zeroOdd * 10 >= pairs * 4 && zeroEven * 20 < pairs)
                codePage = kCodePageUtf16Le;
            else if (zeroEven * 10 >= pairs * 4 && zeroOdd * 20 < pairs)
                codePage = kCodePageUtf16Be;
            else
                return fail(cannotReadMessage(name, QStringLiteral("it is not a text file")),
                            kErrorWrongFormat);
        }
        if (codePage != kCodePageUtf8)
            transcoder.emplace(codePage == kCodePageUtf16Le ? QStringConverter::Utf16LE
                                                            : QStringConverter::Utf16BE);
        rewind();
        return {};
    }

    Status scanFields()
    {
        while (readCard()) {
        }
        if (failed)
            return fail(error);
        if (cards == 0)
            return fail(cannotReadMessage(name, QStringLiteral("it holds no vCard (no line "
                                                               "BEGIN:VCARD)")),
                        kErrorWrongFormat);
        std::vector<int> order(keys.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[size_t(a)].kind < keys[size_t(b)].kind; });
        int slotCount = 0;
        for (int id : order) {
            Key &key = keys[size_t(id)];
            const KindInfo &kind = kKinds[key.kind];
            QString base = QString::fromLatin1(kind.name);
            for (size_t bit = 0; bit < std::size(kTypeNames); ++bit)
                if (key.types & (1u << bit))
                    base += QLatin1Char(';') +
                            QLatin1String(kTypeNames[bit].data(), kTypeNames[bit].size());
            key.firstField = int(fields.size());
            key.firstSlot = slotCount;
            slotCount += key.maxCount;
            for (int n = 1; n <= key.maxCount; ++n) {
                const QString counted = n == 1 ? base : base + QStringLiteral(" %1").arg(n);
                for (int p = 0; p < kind.parts; ++p) {
                    const QLatin1String part(kind.partNames[p]);
                    FieldInfo info;
                    info.name = part.isEmpty() ? counted : counted + QLatin1Char(';') + part;
                    info.type = key.kind == KNote ? FieldType::Memo : FieldType::Text;
                    fields.push_back(info);
                }
            }
        }
        ranks.assign(size_t(slotCount), kNoPreference);
        spans.assign(fields.size(), Span{});
        cards = 0;
        passTwo = true;
        pendingBegin = false;
        rewind();
        return {};
    }
};

VCardReader::VCardReader(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

VCardReader::~VCardReader() = default;

Result<std::unique_ptr<VCardReader>> VCardReader::open(const QString &path)
{
    Result<std::unique_ptr<ByteSource>> source = openFileSource(path);
    if (!source)
        return source.error();
    return open(std::move(*source), path);
}

Result<std::unique_ptr<VCardReader>> VCardReader::open(std::unique_ptr<ByteSource> source,
                                                       const QString &name)
{
    auto impl = std::make_unique<Impl>();
    impl->source = std::move(source);
    impl->name = name;
    if (Status s = impl->detectEncoding(); !s)
        return s.error();
    if (Status s = impl->scanFields(); !s)
        return s.error();
    return std::unique_ptr<VCardReader>(new VCardReader(std::move(impl)));
}

const std::vector<FieldInfo> &VCardReader::fields() const
{
    return d->fields;
}

bool VCardReader::next(QVariantList &values)
{
    if (d->failed || !d->readCard())
        return false;
    ++d->records;
    values.resize(qsizetype(d->spans.size()));
    for (size_t i = 0; i < d->spans.size(); ++i) {
        const QByteArrayView text = d->view(d->spans[i]);
        values[qsizetype(i)] = text.isNull() ? QVariant() : QVariant(QString::fromUtf8(text));
    }
    return true;
}

bool VCardReader::nextText(std::vector<QByteArrayView> &values)
{
    values.clear();
    if (d->failed || !d->readCard())
        return false;
    ++d->records;
    values.reserve(d->spans.size());
    for (const Impl::Span &span : d->spans)
        values.push_back(d->view(span));
    return true;
}

Status VCardReader::status() const
{
    return faultStatus(d->error);
}

int VCardReader::codePage() const
{
    return d->codePage;
}

qint64 VCardReader::recordNumber() const
{
    return d->records;
}

} // namespace quenda
