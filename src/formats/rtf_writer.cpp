#include "formats/rtf_writer.h"

#include "fs/text_output.h"

#include <utility>

namespace quenda {

namespace {

// Windows-1252 declared so that readers ignoring \u still get Western letters from the fallback.
// Without a generator LibreOffice assumes a Word document and shows runs of blanks differently.
constexpr char kHeader[] = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
                           "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"
                           "{\\*\\generator Quenda Ipod;}\r\n"
                           "\\pard\\plain\\f0\\fs20 ";

void appendHex(QByteArray &out, unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out.append("\\'");
    out.append(kDigits[byte >> 4]);
    out.append(kDigits[byte & 0xF]);
}

void appendEscaped(QByteArray &out, QStringView text)
{
    out.reserve(out.size() + text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        switch (ch) {
        case u'\\':
            out.append("\\\\");
            continue;
        case u'{':
            out.append("\\{");
            continue;
        case u'}':
            out.append("\\}");
            continue;
        case u'\t':
            out.append("\\tab ");
            continue;
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out.append("\\par\r\n");
            continue;
        case u'\n':
            out.append("\\par\r\n");
            continue;
        default:
            break;
        }
        if (ch >= 0x20 && ch < 0x80) {
            out.append(static_cast<char>(ch));
            continue;
        }
        // \u takes a signed 16-bit number; a surrogate pair is written as its two halves.
        out.append("\\u");
        out.append(QByteArray::number(static_cast<int>(static_cast<qint16>(ch))));
        const QByteArray fallback = toWindows1252(text.sliced(i, 1));
        if (ch >= 0x80 && fallback != "?")
            appendHex(out, static_cast<unsigned char>(fallback.at(0)));
        else
            out.append('?');
    }
}

} // namespace

QByteArray plainTextToRtf(QStringView text)
{
    RtfDocumentBuilder builder;
    builder.appendText(text);
    return builder.finish();
}

RtfDocumentBuilder::RtfDocumentBuilder() : m_body(kHeader) {}

void RtfDocumentBuilder::appendText(QStringView text)
{
    appendEscaped(m_body, text);
}

void RtfDocumentBuilder::appendParagraphBreak()
{
    m_body.append("\\par\r\n");
}

void RtfDocumentBuilder::appendPageBreak()
{
    m_body.append("\\page\r\n");
}

QByteArray RtfDocumentBuilder::finish()
{
    m_body.append("}\r\n");
    return std::exchange(m_body, QByteArray());
}

} // namespace quenda
