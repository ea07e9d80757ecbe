#include "formats/sheet_numfmt.h"
#include "formats/sheet_source.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

// Any bytes as a compound file holding a workbook: the reader must return, whatever the
// chains, records and strings say. The same bytes also serve as a number format code.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    buffer->open(QIODevice::ReadOnly);
    auto source = quenda::openXlsSource(std::move(buffer), 64);
    if (source) {
        quenda::SheetRow row;
        // A few hundred rows reach every kind of record; more only slow the search down.
        for (int i = 0; i < 300 && (*source)->nextRow(row); ++i) {
        }
    }

    if (size >= 8 && size < 512) {
        double value;
        std::memcpy(&value, data, 8);
        const QString code = QString::fromUtf8(reinterpret_cast<const char *>(data) + 8,
                                               static_cast<qsizetype>(size - 8));
        quenda::NumberFormatter formatter(data[0] & 1);
        formatter.formatNumber(value, code);
        formatter.formatText(code, code);
        quenda::formatGeneral(value);
    }
    return 0;
}
