#include "formats/byte_source.h"
#include "formats/vcard_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void requireWellFormed(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && (i + 1 >= text.size() || !text[++i].isLowSurrogate()))
            std::abort();
        if (text[i].isLowSurrogate() && (i == 0 || !text[i - 1].isHighSurrogate()))
            std::abort();
    }
}

} // namespace

// The input is the file. The reader must come to an end, give every card one value per field,
// name every field, give no more cards than the file has lines, and count what it gave.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    auto reader =
        quenda::VCardReader::open(quenda::memorySource(bytes), QStringLiteral("fuzz.vcf"));
    if (!reader.ok()) {
        if (reader.message().isEmpty())
            std::abort();
        return 0;
    }
    for (const quenda::FieldInfo &f : (*reader)->fields())
        if (f.name.isEmpty())
            std::abort();
    qint64 count = 0;
    QVariantList values;
    while ((*reader)->next(values)) {
        ++count;
        if (values.size() != qsizetype((*reader)->fields().size()))
            std::abort();
        for (const QVariant &v : values)
            requireWellFormed(v.toString());
        if (count > qint64(size))
            std::abort(); // more cards than bytes: a loop
    }
    if ((*reader)->recordNumber() != count)
        std::abort();
    return 0;
}
