#include "formats/mdb_stream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The helper's stream as the program reads it, in pieces whose sizes the first byte picks:
// whatever arrives, the parser must answer with events or Garbled, and a record must carry one
// value per field.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = std::size_t(data[0] % 17) + 1;
    quenda::MdbStream stream;
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t n = at + piece <= size ? piece : size - at;
        stream.append(QByteArrayView(reinterpret_cast<const char *>(data + at), qsizetype(n)));
        for (;;) {
            const auto event = stream.next();
            if (event == quenda::MdbStream::Event::NeedMore)
                break;
            if (event == quenda::MdbStream::Event::Garbled)
                return 0;
            if (event == quenda::MdbStream::Event::Record &&
                stream.values().size() != qsizetype(stream.fields().size()))
                std::abort();
        }
    }
    return 0;
}
