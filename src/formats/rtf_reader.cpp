#include "formats/rtf_reader.h"

#include "formats/codepages.h"
#include "fs/regular_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quenda {

namespace {

// Deeper groups share the innermost state, so hostile nesting costs no memory.
constexpr int kMaxDepth = 512;
constexpr int kMaxKeywordLength = 32;
constexpr int kMaxUnicodeSkip = 255;
constexpr long long kParamLimit = 1'000'000'000;

enum class Dest : unsigned char { Text, FontTable, ListText };

enum class Kw : unsigned char {
    None,
    Par,
    Line,
    Tab,
    Cell,
    Row,
    Char, // a symbol keyword with its character in the table
    Uc,
    U,
    Bin,
    AnsiCpg,
    Ansi,
    Mac,
    Pc,
    Pca,
    Deff,
    F,
    FCharset,
    Cpg,
    Plain,
    Pard,
    Ilvl,
    Upr,
    Ud,
    FontTbl,
    ListText,
    SkipDest,
};

struct Keyword {
    std::string_view name;
    Kw kind;
    char16_t ch = 0;
};

// Sorted by name for the binary search.
constexpr Keyword kKeywords[] = {
    {"aftncn", Kw::SkipDest},
    {"aftnsep", Kw::SkipDest},
    {"aftnsepc", Kw::SkipDest},
    {"annotation", Kw::SkipDest},
    {"ansi", Kw::Ansi},
    {"ansicpg", Kw::AnsiCpg},
    {"atnauthor", Kw::SkipDest},
    {"atndate", Kw::SkipDest},
    {"atnid", Kw::SkipDest},
    {"atnparent", Kw::SkipDest},
    {"atnref", Kw::SkipDest},
    {"atntime", Kw::SkipDest},
    {"author", Kw::SkipDest},
    {"background", Kw::SkipDest},
    {"bin", Kw::Bin},
    {"bkmkend", Kw::SkipDest},
    {"bkmkstart", Kw::SkipDest},
    {"bullet", Kw::Char, 0x2022},
    {"buptim", Kw::SkipDest},
    {"category", Kw::SkipDest},
    {"cell", Kw::Cell},
    {"colortbl", Kw::SkipDest},
    {"comment", Kw::SkipDest},
    {"company", Kw::SkipDest},
    {"cpg", Kw::Cpg},
    {"creatim", Kw::SkipDest},
    {"datafield", Kw::SkipDest},
    {"deff", Kw::Deff},
    {"doccomm", Kw::SkipDest},
    {"docvar", Kw::SkipDest},
    {"emdash", Kw::Char, 0x2014},
    {"emspace", Kw::Char, 0x2003},
    {"endash", Kw::Char, 0x2013},
    {"enspace", Kw::Char, 0x2002},
    {"f", Kw::F},
    {"fcharset", Kw::FCharset},
    {"filetbl", Kw::SkipDest},
    {"fldinst", Kw::SkipDest},
    {"fonttbl", Kw::FontTbl},
    {"footer", Kw::SkipDest},
    {"footerf", Kw::SkipDest},
    {"footerl", Kw::SkipDest},
    {"footerr", Kw::SkipDest},
    {"footnote", Kw::SkipDest},
    {"ftncn", Kw::SkipDest},
    {"ftnsep", Kw::SkipDest},
    {"ftnsepc", Kw::SkipDest},
    {"header", Kw::SkipDest},
    {"headerf", Kw::SkipDest},
    {"headerl", Kw::SkipDest},
    {"headerr", Kw::SkipDest},
    {"ilvl", Kw::Ilvl},
    {"info", Kw::SkipDest},
    {"keywords", Kw::SkipDest},
    {"ldblquote", Kw::Char, 0x201C},
    {"line", Kw::Line},
    {"listoverridetable", Kw::SkipDest},
    {"listtable", Kw::SkipDest},
    {"listtext", Kw::ListText},
    {"lquote", Kw::Char, 0x2018},
    {"ltrmark", Kw::Char, 0x200E},
    {"mac", Kw::Mac},
    {"manager", Kw::SkipDest},
    {"nestcell", Kw::Cell},
    {"nestrow", Kw::Row},
    {"nesttableprops", Kw::SkipDest},
    {"nonesttables", Kw::SkipDest},
    {"nonshppict", Kw::SkipDest},
    {"objdata", Kw::SkipDest},
    {"operator", Kw::SkipDest},
    {"page", Kw::Par},
    {"par", Kw::Par},
    {"pard", Kw::Pard},
    {"pc", Kw::Pc},
    {"pca", Kw::Pca},
    {"pgdsctbl", Kw::SkipDest},
    {"pict", Kw::SkipDest},
    {"plain", Kw::Plain},
    {"pn", Kw::SkipDest},
    {"pntext", Kw::ListText},
    {"printim", Kw::SkipDest},
    {"qmspace", Kw::Char, 0x2005},
    {"rdblquote", Kw::Char, 0x201D},
    {"revtbl", Kw::SkipDest},
    {"revtim", Kw::SkipDest},
    {"row", Kw::Row},
    {"rquote", Kw::Char, 0x2019},
    {"rsidtbl", Kw::SkipDest},
    {"rtlmark", Kw::Char, 0x200F},
    {"sect", Kw::Par},
    {"shp", Kw::SkipDest},
    {"shpinst", Kw::SkipDest},
    {"stylesheet", Kw::SkipDest},
    {"subject", Kw::SkipDest},
    {"tab", Kw::Tab},
    {"tc", Kw::SkipDest},
    {"template", Kw::SkipDest},
    {"title", Kw::SkipDest},
    {"txe", Kw::SkipDest},
    {"u", Kw::U},
    {"uc", Kw::Uc},
    {"ud", Kw::Ud},
    {"upr", Kw::Upr},
    {"userprops", Kw::SkipDest},
    {"xe", Kw::SkipDest},
    {"xmlnstbl", Kw::SkipDest},
    {"zwj", Kw::Char, 0x200D},
    {"zwnj", Kw::Char, 0x200C},
};

static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords),
                             [](const Keyword &a, const Keyword &b) { return a.name < b.name; }));

const Keyword *findKeyword(std::string_view name)
{
    const auto *it =
        std::lower_bound(std::begin(kKeywords), std::end(kKeywords), name,
                         [](const Keyword &k, std::string_view n) { return k.name < n; });
    if (it != std::end(kKeywords) && it->name == name)
        return it;
    return nullptr;
}

// Pages with characters of more than one byte collect their bytes before decoding.
bool isMultiByte(int codePage)
{
    return isKnownCodePage(codePage) && !isSingleByteCodePage(codePage);
}

const CodePageTable &tableFor(int codePage)
{
    const CodePageTable *table = codePageTable(codePage);
    return table ? *table : *codePageTable(1252);
}

struct GroupState {
    Dest dest = Dest::Text;
    Dest udDest = Dest::Text; // what a {\*\ud} child of an \upr group reads into
    bool upr = false;
    bool afterStar = false;
    int uc = 1;
    int font = -1;
    int ilvl = 0;
};

class Reader {
public:
    explicit Reader(QByteArrayView rtf)
        : m_p(reinterpret_cast<const unsigned char *>(rtf.data())), m_end(m_p + rtf.size())
    {
        m_out.reserve(static_cast<std::size_t>(rtf.size() / 3));
        m_stack.reserve(64);
    }

    QString run()
    {
        while (m_p < m_end && !m_done) {
            const unsigned char c = *m_p;
            if (m_stack.empty()) {
                ++m_p;
                if (c == '{')
                    openGroup();
                continue;
            }
            switch (c) {
            case '{':
                ++m_p;
                openGroup();
                break;
            case '}':
                ++m_p;
                closeGroup();
                break;
            case '\\':
                controlSequence();
                break;
            case '\r':
            case '\n':
                ++m_p;
                break;
            default:
                textRun();
                break;
            }
        }
        flushBytes();
        if (m_highSurrogate) {
            m_out.push_back(0xFFFD);
            m_highSurrogate = 0;
        }
        return QString(reinterpret_cast<const QChar *>(m_out.data()),
                       static_cast<qsizetype>(m_out.size()));
    }

private:
    GroupState &state() { return m_stack.back(); }

    void openGroup()
    {
        flushBytes();
        m_skipChars = 0;
        if (m_stack.empty()) {
            m_stack.push_back(GroupState{});
            return;
        }
        if (static_cast<int>(m_stack.size()) >= kMaxDepth) {
            ++m_overflow;
            return;
        }
        GroupState child = state();
        child.afterStar = false;
        if (child.upr) {
            child.upr = false;
            // Only the Unicode twin of an \upr pair is read; the ANSI one is dropped.
            if (!startsWithUd()) {
                m_stack.push_back(child);
                skipGroup();
                return;
            }
            child.dest = state().udDest;
        }
        m_stack.push_back(child);
    }

    bool startsWithUd() const
    {
        static constexpr std::string_view kUd = "\\*\\ud";
        const auto *p = m_p;
        while (p < m_end && (*p == '\r' || *p == '\n'))
            ++p;
        if (m_end - p < static_cast<std::ptrdiff_t>(kUd.size()))
            return false;
        return std::string_view(reinterpret_cast<const char *>(p), kUd.size()) == kUd;
    }

    void closeGroup()
    {
        flushBytes();
        m_skipChars = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        const Dest closing = state().dest;
        m_stack.pop_back();
        if (closing == Dest::ListText && (m_stack.empty() || state().dest != Dest::ListText))
            finishListMarker();
        if (closing == Dest::FontTable)
            m_fontCacheValid = false;
        if (m_stack.empty())
            m_done = true;
    }

    // Leaves the current group unread up to and including its closing brace.
    void skipGroup()
    {
        flushBytes();
        int depth = 1;
        while (m_p < m_end) {
            const unsigned char c = *m_p++;
            if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (--depth == 0) {
                    closeGroup();
                    return;
                }
            } else if (c == '\\' && m_p < m_end) {
                if (isLetter(*m_p)) {
                    const auto *name = m_p;
                    while (m_p < m_end && isLetter(*m_p))
                        ++m_p;
                    const bool isBin = m_p - name == 3 && std::memcmp(name, "bin", 3) == 0;
                    bool hasParam = false;
                    const long long param = readParam(&hasParam);
                    if (isBin && hasParam)
                        skipBinary(param);
                } else {
                    ++m_p; // an escaped brace or backslash does not count
                }
            }
        }
        m_p = m_end;
    }

    static bool isLetter(unsigned char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    }
    static bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

    static int hexValue(unsigned char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // Reads an optional signed number and the one blank that may end a control word.
    long long readParam(bool *hasParam)
    {
        bool negative = false;
        if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        long long value = 0;
        *hasParam = false;
        while (m_p < m_end && isDigit(*m_p)) {
            *hasParam = true;
            if (value < kParamLimit)
                value = value * 10 + (*m_p - '0');
            ++m_p;
        }
        value = std::min(value, kParamLimit);
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        return negative ? -value : value;
    }

    void skipBinary(long long count)
    {
        if (count <= 0)
            return;
        const auto left = static_cast<long long>(m_end - m_p);
        m_p += std::min(count, left);
    }

    void controlSequence()
    {
        ++m_p; // the backslash
        if (m_p >= m_end)
            return;
        const unsigned char c = *m_p;
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++m_p;
        if (c == '\'') {
            int value = -1;
            if (m_p < m_end && hexValue(*m_p) >= 0) {
                value = hexValue(*m_p++);
                if (m_p < m_end && hexValue(*m_p) >= 0)
                    value = value * 16 + hexValue(*m_p++);
            }
            if (m_skipChars > 0) {
                --m_skipChars;
                return;
            }
            if (value >= 0)
                encodedByte(static_cast<unsigned char>(value));
            return;
        }
        if (m_skipChars > 0) {
            --m_skipChars;
            return;
        }
        switch (c) {
        case '*':
            state().afterStar = true;
            return;
        case '\\':
        case '{':
        case '}':
            literal(c);
            return;
        case '~':
            output(0x00A0);
            return;
        case '-':
            output(0x00AD);
            return;
        case '_':
            output(0x2011);
            return;
        case '\r':
        case '\n':
            paragraphEnd();
            return;
        case '\t':
            output(u'\t');
            return;
        default:
            return; // \| \: and unknown symbols carry no text
        }
    }

    void controlWord()
    {
        const auto *nameStart = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        const auto length = std::min<std::ptrdiff_t>(m_p - nameStart, kMaxKeywordLength);
        const std::string_view name(reinterpret_cast<const char *>(nameStart),
                                    static_cast<std::size_t>(length));
        bool hasParam = false;
        const long long param = readParam(&hasParam);
        const Keyword *keyword = findKeyword(name);
        const Kw kind = keyword ? keyword->kind : Kw::None;

        if (kind == Kw::Bin) {
            // The data belongs to \bin even when it stands in for a skipped \u fallback.
            if (m_skipChars > 0)
                --m_skipChars;
            if (hasParam)
                skipBinary(param);
            return;
        }
        if (m_skipChars > 0) {
            --m_skipChars;
            return;
        }
        GroupState &s = state();
        if (s.afterStar) {
            s.afterStar = false;
            if (kind != Kw::Ud || m_overflow > 0)
                skipGroup();
            return;
        }
        if (m_overflow > 0 && (kind == Kw::FontTbl || kind == Kw::ListText || kind == Kw::Upr)) {
            // Past the depth limit the state is shared with outer groups: never redirect it.
            skipGroup();
            return;
        }
        if (s.dest == Dest::FontTable) {
            fontTableWord(kind, static_cast<int>(param));
            return;
        }
        switch (kind) {
        case Kw::None:
        case Kw::Ud:
            return;
        case Kw::Par:
        case Kw::Line:
            paragraphEnd();
            return;
        case Kw::Tab:
            output(u'\t');
            return;
        case Kw::Cell:
            if (s.dest == Dest::Text) {
                output(u'\t');
                m_lastCellTab = m_out.size();
            }
            return;
        case Kw::Row:
            if (s.dest == Dest::Text) {
                flushBytes();
                if (m_lastCellTab == m_out.size() && !m_out.empty())
                    m_out.pop_back(); // the tab after the last cell ends the row instead
                outputLineEnd();
            }
            return;
        case Kw::Char:
            output(keyword->ch);
            return;
        case Kw::Uc:
            s.uc = static_cast<int>(std::clamp<long long>(param, 0, kMaxUnicodeSkip));
            return;
        case Kw::U: {
            long long value = param;
            if (value < 0)
                value += 65536;
            if (value >= 0 && value <= 0xFFFF)
                output(static_cast<char16_t>(value));
            m_skipChars = s.uc;
            return;
        }
        case Kw::AnsiCpg:
            if (param > 0)
                setDocumentCodePage(static_cast<int>(param));
            return;
        case Kw::Ansi:
            setDocumentCodePage(1252);
            return;
        case Kw::Mac:
            setDocumentCodePage(10000);
            return;
        case Kw::Pc:
            setDocumentCodePage(437);
            return;
        case Kw::Pca:
            setDocumentCodePage(850);
            return;
        case Kw::Deff:
            m_defaultFont = static_cast<int>(param);
            return;
        case Kw::F:
            flushBytes();
            s.font = static_cast<int>(param);
            return;
        case Kw::Plain:
            flushBytes();
            s.font = -1;
            return;
        case Kw::Pard:
            s.ilvl = 0;
            return;
        case Kw::Ilvl:
            s.ilvl = static_cast<int>(std::clamp<long long>(param, 0, 8));
            return;
        case Kw::Upr:
            s.upr = true;
            s.udDest = s.dest;
            return;
        case Kw::FontTbl:
            s.dest = Dest::FontTable;
            return;
        case Kw::ListText:
            if (s.dest == Dest::Text) {
                s.dest = Dest::ListText;
                m_listMarker.clear();
            }
            return;
        case Kw::SkipDest:
            skipGroup();
            return;
        case Kw::FCharset:
        case Kw::Cpg:
        case Kw::Bin:
            return;
        }
    }

    void fontTableWord(Kw kind, int param)
    {
        switch (kind) {
        case Kw::F:
            m_tableFont = param;
            return;
        case Kw::FCharset:
            if (codePageForCharset(param) != 0)
                m_fontCodePages[m_tableFont] = codePageForCharset(param);
            else
                m_fontCodePages.erase(m_tableFont);
            return;
        case Kw::Cpg:
            if (param > 0 && isKnownCodePage(static_cast<int>(param)))
                m_fontCodePages[m_tableFont] = param;
            return;
        case Kw::SkipDest:
            skipGroup();
            return;
        default:
            return;
        }
    }

    void setDocumentCodePage(int codePage)
    {
        flushBytes();
        m_documentCodePage = codePage;
        m_fontCacheValid = false;
    }

    int currentCodePage()
    {
        const int font = state().font >= 0 ? state().font : m_defaultFont;
        if (!m_fontCacheValid || font != m_cachedFont) {
            const auto it = m_fontCodePages.find(font);
            m_cachedCodePage = it == m_fontCodePages.end() ? m_documentCodePage : it->second;
            m_cachedFont = font;
            m_fontCacheValid = true;
        }
        return m_cachedCodePage;
    }

    // Plain bytes up to the next brace, backslash or line end.
    void textRun()
    {
        const Dest dest = state().dest;
        if (dest != Dest::Text && dest != Dest::ListText) {
            while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}')
                ++m_p;
            return;
        }
        const int codePage = currentCodePage();
        const bool multiByte = isMultiByte(codePage);
        const CodePageTable &table = tableFor(multiByte ? 1252 : codePage);
        while (m_p < m_end) {
            const unsigned char c = *m_p;
            if (c == '\\' || c == '{' || c == '}')
                return;
            ++m_p;
            if (c == '\r' || c == '\n')
                continue;
            if (m_skipChars > 0) {
                --m_skipChars;
                continue;
            }
            if (multiByte && (c >= 0x80 || !m_bytes.isEmpty())) {
                m_bytes.append(static_cast<char>(c));
                m_bytesCodePage = codePage;
                continue;
            }
            if (c < 0x20 && c != '\t')
                continue; // stray control bytes are not text
            output(table[c]);
        }
    }

    void encodedByte(unsigned char byte)
    {
        const Dest dest = state().dest;
        if (dest != Dest::Text && dest != Dest::ListText)
            return;
        const int codePage = currentCodePage();
        if (isMultiByte(codePage)) {
            if (!m_bytes.isEmpty() && m_bytesCodePage != codePage)
                flushBytes();
            m_bytes.append(static_cast<char>(byte));
            m_bytesCodePage = codePage;
            return;
        }
        if (byte < 0x20 && byte != '\t')
            return;
        output(tableFor(codePage)[byte]);
    }

    void literal(unsigned char c) { output(static_cast<char16_t>(c)); }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        const QString decoded = decodeCodePage(m_bytesCodePage, m_bytes);
        m_bytes.clear();
        for (QChar ch : decoded) {
            if (ch.unicode() == 0x1A)
                put(0xFFFD); // some converters substitute SUB for a malformed sequence
            else if (ch.unicode() >= 0x20 || ch.unicode() == '\t')
                put(ch.unicode());
        }
    }

    void paragraphEnd()
    {
        if (state().dest == Dest::Text)
            outputLineEnd();
    }

    void outputLineEnd()
    {
        flushBytes();
        startParagraphText();
        put(u'\r');
        put(u'\n');
    }

    void output(char16_t ch)
    {
        const Dest dest = state().dest;
        if (dest == Dest::ListText) {
            if (ch != u'\t')
                m_listMarker.push_back(ch);
            return;
        }
        if (dest != Dest::Text)
            return;
        flushBytes();
        startParagraphText();
        put(ch);
    }

    void finishListMarker()
    {
        const auto first = m_listMarker.find_first_not_of(u' ');
        const auto last = m_listMarker.find_last_not_of(u' ');
        m_pendingMarker = first == std::u16string::npos
                              ? std::u16string()
                              : m_listMarker.substr(first, last - first + 1);
        m_listMarker.clear();
    }

    // A list item's number or bullet goes before its first text, indented by its level.
    void startParagraphText()
    {
        if (m_pendingMarker.empty())
            return;
        const std::u16string marker = std::move(m_pendingMarker);
        m_pendingMarker.clear();
        const int level = m_stack.empty() ? 0 : state().ilvl;
        for (int i = 0; i < 4 * (level + 1); ++i)
            put(u' ');
        for (char16_t ch : marker)
            put(ch); // a marker is document text too: its lone surrogates are replaced
        put(u' ');
    }

    // Lone surrogates become U+FFFD so that the text stays valid UTF-16.
    void put(char16_t ch)
    {
        if (m_highSurrogate) {
            if (ch >= 0xDC00 && ch <= 0xDFFF) {
                m_out.push_back(m_highSurrogate);
                m_out.push_back(ch);
                m_highSurrogate = 0;
                return;
            }
            m_out.push_back(0xFFFD);
            m_highSurrogate = 0;
        }
        if (ch >= 0xD800 && ch <= 0xDBFF) {
            m_highSurrogate = ch;
            return;
        }
        if (ch >= 0xDC00 && ch <= 0xDFFF)
            ch = 0xFFFD;
        if (ch == 0)
            return;
        m_out.push_back(ch);
    }

    const unsigned char *m_p;
    const unsigned char *m_end;
    std::vector<GroupState> m_stack;
    int m_overflow = 0;
    bool m_done = false;
    int m_skipChars = 0;

    std::u16string m_out;
    std::size_t m_lastCellTab = std::u16string::npos;
    char16_t m_highSurrogate = 0;

    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    int m_tableFont = 0;
    std::unordered_map<int, int> m_fontCodePages;
    bool m_fontCacheValid = false;
    int m_cachedFont = 0;
    int m_cachedCodePage = 1252;
    QByteArray m_bytes;
    int m_bytesCodePage = 1252;

    std::u16string m_listMarker;
    std::u16string m_pendingMarker;
};

} // namespace

QString rtfToPlainText(QByteArrayView rtf)
{
    return Reader(rtf).run();
}

bool looksLikeRtf(QByteArrayView head)
{
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";
    static constexpr std::string_view kMagic = "{\\rtf";
    std::string_view bytes(head.data(), static_cast<std::size_t>(head.size()));
    if (bytes.substr(0, kBom.size()) == kBom)
        bytes.remove_prefix(kBom.size());
    const auto start = bytes.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return false;
    return bytes.substr(start, kMagic.size()) == kMagic;
}

Result<QString> rtfFileToPlainText(const QString &path)
{
    QFile file;
    if (Status opened = openRegularFile(path, file); !opened)
        return opened.error();
    if (file.size() > kMaxRtfFileBytes)
        return fail(QStringLiteral("%1 is larger than %2 MB, the most an RTF document may hold "
                                   "here; it was not read")
                        .arg(path)
                        .arg(kMaxRtfFileBytes >> 20),
                    EFBIG);
    const QByteArray rtf = file.read(kMaxRtfFileBytes);
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return rtfToPlainText(rtf);
}

} // namespace quenda
