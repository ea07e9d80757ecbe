#include "formats/rtf_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Any bytes: the reader must return, and what it returns must be well-formed UTF-16.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString text = quenda::rtfToPlainText(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                std::abort();
            ++i;
        } else if (text[i].isLowSurrogate()) {
            std::abort();
        }
    }
    quenda::looksLikeRtf(bytes);
    return 0;
}
