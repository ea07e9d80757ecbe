#pragma once
// Valid RTF out of plain text: every character kept (\uN with a fallback for those beyond
// ASCII), CR LF, CR or LF as paragraph ends. Readable by LibreOffice and by rtfToPlainText,
// which gives the text back unchanged.

#include <QByteArray>
#include <QStringView>

namespace quenda {

QByteArray plainTextToRtf(QStringView text);

// Builds one RTF document piece by piece, as the merge of notes needs.
class RtfDocumentBuilder {
public:
    RtfDocumentBuilder();
    void appendText(QStringView text); // line ends become paragraph ends
    void appendParagraphBreak();       // an empty paragraph end
    void appendPageBreak();
    QByteArray finish(); // the complete document; the builder is spent

private:
    QByteArray m_body;
};

} // namespace quenda
