#include "formats/sheet_text.h"

#include "common/text_output.h"

#include <QStringDecoder>

namespace quenda {

QString decodeCodePage(QByteArrayView bytes, int codePage)
{
    switch (codePage) {
    case 1252:
    case 0:
        return fromWindows1252(bytes);
    case 367: // ASCII: Windows-1252 is a superset
        return fromWindows1252(bytes);
    case 1200: {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return utf16.decode(bytes);
    }
    case 65001:
        return QString::fromUtf8(bytes);
    default:
        break;
    }
    const QByteArray name = codePage == 10000 ? QByteArray("macintosh")
                            : (codePage >= 1250 && codePage <= 1258)
                                ? "windows-" + QByteArray::number(codePage)
                                : "cp" + QByteArray::number(codePage);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return fromWindows1252(bytes);
    return decoder.decode(bytes);
}

} // namespace quenda
