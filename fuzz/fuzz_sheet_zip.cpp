#include "formats/sheet_source.h"
#include "formats/sheet_zip.h"

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// An archive of stored entries built in memory, so that mutations reach the XML parsers
// instead of dying in the inflater.
QByteArray storedArchive(const std::vector<std::pair<const char *, QByteArray>> &entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *memory = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(memory);
    zip_t *zip = zip_open_from_source(memory, ZIP_TRUNCATE, &error);
    QByteArray out;
    if (zip) {
        for (const auto &[name, data] : entries) {
            zip_source_t *s =
                zip_source_buffer(zip, data.constData(), zip_uint64_t(data.size()), 0);
            const zip_int64_t index = zip_file_add(zip, name, s, ZIP_FL_OVERWRITE);
            if (index >= 0)
                zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0);
        }
        if (zip_close(zip) != 0) {
            zip_discard(zip);
        } else if (zip_source_open(memory) == 0) {
            char buffer[65536];
            zip_int64_t n;
            while ((n = zip_source_read(memory, buffer, sizeof buffer)) > 0)
                out.append(buffer, qsizetype(n));
            zip_source_close(memory);
        }
    }
    zip_source_free(memory);
    zip_error_fini(&error);
    return out;
}

// Input without the zip signature: a kind byte (even: .xlsx, odd: .ods), then the parts
// separated by 0x01 bytes. .xlsx: workbook, its relations, styles, shared strings, the sheet.
// .ods: content, settings.
QByteArray archiveFromParts(const QByteArray &input)
{
    const bool ods = !input.isEmpty() && (input[0] & 1);
    const QList<QByteArray> parts = input.mid(1).split('\x01');
    auto part = [&](int i) { return i < parts.size() ? parts[i] : QByteArray(); };
    if (ods)
        return storedArchive({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                              {"content.xml", part(0)},
                              {"settings.xml", part(1)}});
    return storedArchive({{"[Content_Types].xml", "<Types/>"},
                          {"xl/workbook.xml", part(0)},
                          {"xl/_rels/workbook.xml.rels", part(1)},
                          {"xl/styles.xml", part(2)},
                          {"xl/sharedStrings.xml", part(3)},
                          {"xl/worksheets/sheet1.xml", part(4)}});
}

} // namespace

// Any bytes as an .xlsx or .ods package (a real archive, or its parts laid out as above):
// relations, workbook, styles, shared strings and sheet XML all come from the input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("PK"))
        bytes = archiveFromParts(bytes);
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
