#include "formats/byte_source.h"
#include "formats/dbf_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Input: a flag byte (bit 0: the memo is an .fpt), the table's length (4 bytes, little-endian),
// the table, then the memo file. The reader must end, give each record one value per field,
// and never give more records than the table's bytes can hold.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    std::uint32_t tableLength;
    std::memcpy(&tableLength, data + 1, 4);
    const std::size_t rest = size - 5;
    const std::size_t split = tableLength < rest ? tableLength : rest;
    const QByteArray table(reinterpret_cast<const char *>(data + 5), qsizetype(split));
    const QByteArray memo(reinterpret_cast<const char *>(data + 5 + split),
                          qsizetype(rest - split));
    auto reader = quenda::DbfReader::open(quenda::memorySource(table),
                                          memo.isEmpty() ? nullptr : quenda::memorySource(memo),
                                          data[0] & 1, QStringLiteral("fuzz.dbf"));
    if (!reader.ok())
        return 0;
    QVariantList values;
    qint64 count = 0;
    while ((*reader)->next(values)) {
        if (values.size() != qsizetype((*reader)->fields().size()))
            std::abort();
        if (++count > qint64(table.size()))
            std::abort();
    }
    return 0;
}
