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

QByteArray xmlAttribute(QByteArray text)
{
    return text.replace('&', "&amp;").replace('"', "&quot;").replace('<', "&lt;");
}

// The part names a package leads through, as bare texts: the workbook's name in the package
// relations, then the sheet's, the shared strings' and the styles' names in the workbook's
// relations, then the sheet and the shared strings. A target is a few bytes here, so that "../",
// "/", "\\" and the like land in it often.
QByteArray archiveFromTargets(const QList<QByteArray> &parts)
{
    auto part = [&](int i) { return i < parts.size() ? parts[i] : QByteArray(); };
    const QByteArray type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    auto relation = [&](const char *id, const char *kind, const QByteArray &target) {
        return "<Relationship Id=\"" + QByteArray(id) + "\" Type=\"" + type + kind +
               "\" Target=\"" + xmlAttribute(target) + "\"/>";
    };
    return storedArchive(
        {{"[Content_Types].xml", "<Types/>"},
         {"_rels/.rels",
          "<Relationships>" + relation("r1", "officeDocument", part(0)) + "</Relationships>"},
         {"xl/workbook.xml", "<workbook xmlns:r=\"r\"><sheets><sheet name=\"S\" r:id=\"s\"/>"
                             "</sheets></workbook>"},
         {"xl/_rels/workbook.xml.rels", "<Relationships>" + relation("s", "worksheet", part(1)) +
                                            relation("t", "sharedStrings", part(2)) +
                                            relation("y", "styles", part(3)) + "</Relationships>"},
         {"xl/worksheets/sheet1.xml", part(4)},
         {"xl/sharedStrings.xml", part(5)},
         {"xl/styles.xml", "<styleSheet><cellXfs><xf numFmtId=\"14\"/></cellXfs></styleSheet>"}});
}

// Input without the zip signature: a kind byte (even: .xlsx, odd: .ods), then the parts
// separated by 0x01 bytes. .xlsx: the package relations (which name the workbook; empty for
// the usual ones), workbook, its relations, shared strings, the sheet, styles. .ods: content,
// settings. The small parts that lead to the others come first, so that a short input still
// reaches them; every relation comes from the input, so a mutated target can lead anywhere, in
// the package or out of it. With bit 1 of the kind byte set, an .xlsx comes as bare part names
// (see archiveFromTargets).
QByteArray archiveFromParts(const QByteArray &input)
{
    const bool ods = !input.isEmpty() && (input[0] & 1);
    const QList<QByteArray> parts = input.mid(1).split('\x01');
    auto part = [&](int i) { return i < parts.size() ? parts[i] : QByteArray(); };
    if (!ods && !input.isEmpty() && (input[0] & 2))
        return archiveFromTargets(parts);
    if (ods)
        return storedArchive({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                              {"content.xml", part(0)},
                              {"settings.xml", part(1)}});
    QByteArray packageRelations = part(0);
    if (packageRelations.isEmpty())
        packageRelations = "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas."
                           "openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                           "Target=\"xl/workbook.xml\"/></Relationships>";
    return storedArchive({{"[Content_Types].xml", "<Types/>"},
                          {"_rels/.rels", packageRelations},
                          {"xl/workbook.xml", part(1)},
                          {"xl/_rels/workbook.xml.rels", part(2)},
                          {"xl/sharedStrings.xml", part(3)},
                          {"xl/worksheets/sheet1.xml", part(4)},
                          {"xl/styles.xml", part(5)}});
}

} // namespace

// Any bytes as an .xlsx or .ods package (a real archive, or its parts laid out as above):
// relations, workbook, styles, shared strings and sheet XML all come from the input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!bytes.startsWith("PK"))
        bytes = archiveFromParts(bytes);
    // A small cap keeps each run short; the reading paths are the same.
    auto zip = quenda::ZipArchive::fromBytes(bytes, 4 * 1024 * 1024);
    if (!zip)
        return 0;
    auto source = (*zip)->contains(QStringLiteral("content.xml"))
                      ? quenda::openOdsSource(std::move(*zip), 64)
                      : quenda::openXlsxSource(std::move(*zip), 64);
    if (source) {
        quenda::SheetRow row;
        // A few hundred rows reach every kind of record; more only slow the search down.
        for (int i = 0; i < 300 && (*source)->nextRow(row); ++i) {
        }
    }
    return 0;
}
