#include "formats/sheet_source.h"
#include "formats/sheet_zip.h"

#include <cstddef>
#include <cstdint>

// Any bytes as an .xlsx or .ods package: archive, relations, workbook, styles, shared strings
// and sheet XML are all taken from the input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString error;
    // A small cap keeps each run short; the reading paths are the same.
    auto zip = quenda::ZipArchive::fromBytes(bytes, &error, 4 * 1024 * 1024);
    if (!zip)
        return 0;
    std::unique_ptr<quenda::SheetSource> source;
    if (zip->contains(QStringLiteral("content.xml")))
        source = quenda::openOdsSource(std::move(zip), 64, &error);
    else
        source = quenda::openXlsxSource(std::move(zip), 64, &error);
    if (source) {
        quenda::SheetRow row;
        for (int i = 0; i < 100000 && source->nextRow(row); ++i) {
        }
    }
    return 0;
}
