#include "formats/byte_source.h"
#include "formats/delimited_reader.h"

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

// The first byte picks the options; the rest is the file. The reader must come to an end, give
// every record the fields' count of values, and count what it gave.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const int kCodePages[] = {0, 0, 1252, 850, 65001, 932, 1200, 1201};
    quenda::DelimitedOptions options;
    options.codePage = kCodePages[data[0] & 7];
    options.headerLine = (data[0] & 8) == 0;
    options.delimiter = (data[0] & 16) ? ';' : 0;
    const bool rows = data[0] & 32;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    auto reader = quenda::DelimitedReader::open(quenda::memorySource(bytes),
                                                QStringLiteral("fuzz.csv"), options);
    if (!reader.ok())
        return 0;
    for (const quenda::FieldInfo &f : (*reader)->fields())
        if (f.name.isEmpty())
            std::abort();
    qint64 count = 0;
    QVariantList values;
    QStringList cells;
    while (rows ? (*reader)->nextRow(cells) : (*reader)->next(values)) {
        ++count;
        if (!rows && values.size() != qsizetype((*reader)->fields().size()))
            std::abort();
        for (const QVariant &v : values)
            requireWellFormed(v.toString());
        if (count > qint64(size))
            std::abort(); // more records than bytes: a loop
    }
    if ((*reader)->recordNumber() != count)
        std::abort();
    return 0;
}
