#include "formats/sheet_reader.h"
#include "formats/sheet_zip.h"

#include "reader_test_support.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <functional>
#include <map>

using namespace quenda;
using namespace quenda::test;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    return writeBytes(dir.filePath(name), bytes);
}

QString writeZip(const QTemporaryDir &dir, const QString &name,
                 const std::map<QString, QByteArray> &entries)
{
    const QString path = dir.filePath(name);
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    EXPECT_NE(zip, nullptr);
    for (const auto &[entry, data] : entries) {
        zip_source_t *src = zip_source_buffer(zip, data.constData(), zip_uint64_t(data.size()), 0);
        zip_file_add(zip, entry.toUtf8().constData(), src, ZIP_FL_OVERWRITE);
    }
    EXPECT_EQ(zip_close(zip), 0);
    return path;
}

void expectNamedFailure(const Result<SheetBlock> &block, const QString &path, const char *why)
{
    ASSERT_FALSE(block.ok());
    EXPECT_TRUE(
        block.message().startsWith(QStringLiteral("The file %1 cannot be read: ").arg(path)))
        << block.message().toStdString();
    EXPECT_TRUE(block.message().contains(QLatin1String(why))) << block.message().toStdString();
}

// The layout of a compound file with 512-byte sectors, enough to damage it on purpose.
struct Compound {
    QByteArray bytes;
    qint64 workbookDirEntry = 0; // offset of the "Workbook" directory entry
    std::vector<quint32> workbookSectors;

    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(bytes.constData() + at); }
    void setU32(qint64 at, quint32 v) { qToLittleEndian(v, bytes.data() + at); }
    qint64 sectorOffset(quint32 s) const { return (qint64(s) + 1) * 512; }
    // Where the allocation entry of sector s lies in the file.
    qint64 fatEntry(quint32 s) const
    {
        return sectorOffset(u32(0x4C + 4 * (s / 128))) + 4 * (s % 128);
    }
    std::vector<quint32> chain(quint32 s) const
    {
        std::vector<quint32> out;
        for (; s < 0xFFFFFFFA; s = u32(fatEntry(s)))
            out.push_back(s);
        return out;
    }

    explicit Compound(QByteArray data) : bytes(std::move(data))
    {
        for (quint32 s : chain(u32(0x30))) {
            for (int e = 0; e < 4; ++e) {
                const qint64 at = sectorOffset(s) + 128 * e;
                if (QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + at),
                                       8) == QLatin1String("Workbook"))
                    workbookDirEntry = at;
            }
        }
        workbookSectors = chain(u32(workbookDirEntry + 116));
    }

    // The workbook stream's bytes and, for each, where it lies in the file.
    qint64 streamOffset(qint64 pos) const
    {
        return sectorOffset(workbookSectors[size_t(pos / 512)]) + pos % 512;
    }
    QByteArray stream() const
    {
        QByteArray out;
        for (quint32 s : workbookSectors)
            out += bytes.mid(sectorOffset(s), 512);
        return out.left(u32(workbookDirEntry + 120));
    }
    // Stream position of the body of the nth record of that type.
    qint64 findRecord(quint16 type, int nth = 0) const
    {
        const QByteArray s = stream();
        for (qint64 pos = 0; pos + 4 <= s.size();) {
            const quint16 t = qFromLittleEndian<quint16>(s.constData() + pos);
            const quint16 len = qFromLittleEndian<quint16>(s.constData() + pos + 2);
            if (t == type && nth-- == 0)
                return pos + 4;
            pos += 4 + len;
        }
        return -1;
    }
    void setStreamU32(qint64 pos, quint32 v, int width = 4)
    {
        for (int i = 0; i < width; ++i)
            bytes[streamOffset(pos + i)] = char((v >> (8 * i)) & 0xFF);
    }
};

QByteArray odsContent(const QByteArray &rows)
{
    return "<office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
           "<office:spreadsheet><table:table table:name=\"T\">" +
           rows + "</table:table></office:spreadsheet></office:body></office:document-content>";
}

QString writeOds(const QTemporaryDir &dir, const QString &name, const QByteArray &rows)
{
    return writeZip(
        dir, name,
        {{QStringLiteral("mimetype"), QByteArray("application/vnd.oasis.opendocument.spreadsheet")},
         {QStringLiteral("content.xml"), odsContent(rows)}});
}

// An .xlsx package around one sheet, its strings inline or, given, in a shared-strings part.
std::map<QString, QByteArray> xlsxParts(const QByteArray &sheet, const QByteArray &strings = {})
{
    const QByteArray sharedStrings =
        "<Relationship Id=\"t\" Type=\"x/sharedStrings\" Target=\"strings.xml\"/>";
    std::map<QString, QByteArray> parts = {
        {QStringLiteral("[Content_Types].xml"), "<Types/>"},
        {QStringLiteral("xl/workbook.xml"),
         "<workbook><sheets><sheet name=\"S\" r:id=\"d\" xmlns:r=\"rels\"/></sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<Relationships><Relationship Id=\"d\" Type=\"x/worksheet\" Target=\"s.xml\"/>" +
             (strings.isNull() ? QByteArray() : sharedStrings) + "</Relationships>"},
        {QStringLiteral("xl/s.xml"), sheet}};
    if (!strings.isNull())
        parts[QStringLiteral("xl/strings.xml")] = strings;
    return parts;
}

} // namespace

TEST(SheetHostile, MissingFilesPipesAndNonSheetsAreRefusedByName)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("nothing.xls"));
    expectNamedFailure(readSheetBlock(missing), missing, "No such file or directory");

    const QString fifo = dir.filePath(QStringLiteral("pipe.xls"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // No writer ever opens the pipe: a reader that waited for one would hang here.
    expectNamedFailure(readSheetBlock(fifo), fifo, "not a regular file");

    const QString empty = writeFile(dir, QStringLiteral("empty.xls"), QByteArray());
    expectNamedFailure(readSheetBlock(empty), empty, "empty");
    const QString text = writeFile(dir, QStringLiteral("notes.xls"), "Name;City\nAnn;Oslo\n");
    expectNamedFailure(readSheetBlock(text), text, "not a spreadsheet");
}

TEST(SheetHostile, TruncatedWorkbooksFailWithTheFileName)
{
    QTemporaryDir dir;
    for (const char *name : {"b_xls_address_book.xls", "lo_two_sheets.xlsx", "lo_two_sheets.ods"}) {
        const QByteArray whole = sheetBytes(QString::fromLatin1(name));
        ASSERT_FALSE(whole.isEmpty());
        for (qsizetype cut : {qsizetype(8), qsizetype(600), whole.size() / 2}) {
            SCOPED_TRACE(std::string(name) + " cut at " + std::to_string(cut));
            const QString path = writeFile(dir, QString::fromLatin1(name), whole.left(cut));
            expectNamedFailure(readSheetBlock(path), path, "");
        }
    }
}

// Sector chains that loop or lead past the end, a stream longer than its chain, a sheet
// beyond its stream, a password: each refused by the file's name with its reason.
TEST(SheetHostile, DamagedCompoundFilesAreRefusedWithTheReason)
{
    QTemporaryDir dir;
    // Its workbook stream is large enough for regular sectors rather than the mini stream.
    const Compound original(sheetBytes(QStringLiteral("b_xls_two_sheets_wide.xls")));
    ASSERT_GT(original.workbookSectors.size(), 2u);
    const quint32 second = original.workbookSectors[1];
    const std::pair<const char *, std::function<void(Compound &)>> cases[] = {
        {"loop", [&](Compound &c) { c.setU32(c.fatEntry(second), second); }},
        {"past the end", [&](Compound &c) { c.setU32(c.fatEntry(second), 0x00FFFFF0); }},
        {"past the end", [](Compound &c) { c.setU32(0x30, 0x7FFFFFF0); }}, // the directory
        {"cut short", [](Compound &c) { c.setU32(c.workbookDirEntry + 120, 0x7FFFFFFF); }},
        {"the sheet \"Price matrix\" lies past the end of the workbook stream",
         [](Compound &c) { c.setStreamU32(c.findRecord(0x0085, 1), 0x7FFFFF00); }},
        // A FILEPASS record where the code page stood.
        {"protected with a password",
         [](Compound &c) { c.setStreamU32(c.findRecord(0x0042) - 4, 0x002F, 2); }},
    };
    for (const auto &[why, damage] : cases) {
        SCOPED_TRACE(why);
        Compound book = original;
        damage(book);
        const QString path = writeFile(dir, QStringLiteral("damaged.xls"), book.bytes);
        expectNamedFailure(readSheetBlock(path), path, why);
    }
    // Excel 2 to 4 files stand outside a compound file, beginning with their BOF record.
    const QString old = writeFile(dir, QStringLiteral("old.xls"),
                                  QByteArray::fromHex("0904060000001000000000000a000000"));
    expectNamedFailure(readSheetBlock(old), old, "older than Excel 5");
}

TEST(SheetHostile, AHugeSharedStringCountCostsNothingAndChangesNothing)
{
    QTemporaryDir dir;
    Compound book(sheetBytes(QStringLiteral("b_xls_two_sheets_wide.xls")));
    const qint64 sst = book.findRecord(0x00FC);
    ASSERT_GT(sst, 0);
    book.setStreamU32(sst, 0xFFFFFFFF);
    book.setStreamU32(sst + 4, 0xFFFFFFFF);
    const QString path = writeFile(dir, QStringLiteral("sst.xls"), book.bytes);
    const Result<SheetBlock> block = readSheetBlock(path, 30, 30);
    ASSERT_TRUE(block.ok()) << block.message().toStdString();
    const QList<QStringList> oracle = csvRows(QStringLiteral("b_xls_two_sheets_wide.oracle.csv"));
    for (int r = 0; r < oracle.size(); ++r)
        EXPECT_EQ(block->cells[r].mid(0, 23), oracle[r]);
}

TEST(SheetHostile, ZipPartsBeyondTheCapAreRefusedWhateverTheyClaim)
{
    QTemporaryDir dir;
    const QString path = writeZip(dir, QStringLiteral("bomb.zip"),
                                  {{QStringLiteral("big.xml"), QByteArray(1 << 20, ' ')}});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    auto zip = ZipArchive::fromBytes(file.readAll(), 64 * 1024);
    ASSERT_TRUE(zip) << zip.message().toStdString();
    const Result<QByteArray> all = (*zip)->readAll(QStringLiteral("big.xml"), 1 << 30);
    ASSERT_FALSE(all);
    EXPECT_EQ(all.message(),
              QStringLiteral("its part \"big.xml\" unpacks to more than 65536 bytes"));

    // Twenty megabytes of blanks in a sheet, where a parser would hold them as one text.
    const QString blanks = writeZip(dir, QStringLiteral("blanks.xlsx"),
                                    xlsxParts("<worksheet><sheetData>" + QByteArray(20 << 20, ' ') +
                                              "</sheetData></worksheet>"));
    expectNamedFailure(readSheetBlock(blanks), blanks,
                       "its part \"xl/s.xml\" holds a text of more than 16 MiB");
}

TEST(SheetHostile, OdsRepeatsAreNeverSpreadOutInMemory)
{
    QTemporaryDir dir;
    const QString path =
        writeOds(dir, QStringLiteral("big.ods"),
                 "<table:table-row><table:table-cell><text:p>Name</text:p></table:table-cell>"
                 "<table:table-cell><text:p>Note</text:p></table:table-cell></table:table-row>"
                 "<table:table-row table:number-rows-repeated=\"2\"/>"
                 "<table:table-row table:number-rows-repeated=\"100000\">"
                 "<table:table-cell table:number-columns-repeated=\"1000000000\"><text:p>x<text:s "
                 "text:c=\"2\"/>y</text:p></table:table-cell></table:table-row>"
                 "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell "
                 "table:number-columns-repeated=\"16384\"/></table:table-row>");
    const Result<SheetBlock> block = readSheetBlock(path, 20, 20);
    ASSERT_TRUE(block.ok()) << block.message().toStdString();
    EXPECT_TRUE(block->cells[1].join(QString()).isEmpty());
    EXPECT_TRUE(block->cells[2].join(QString()).isEmpty());
    for (int r = 3; r < 20; ++r)
        EXPECT_EQ(block->cells[r], QStringList(20, QStringLiteral("x  y"))) << r;

    auto reader = openSheetReader(path);
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    QVariantList values;
    qint64 records = 0;
    while ((*reader)->next(values))
        ++records;
    EXPECT_TRUE((*reader)->status().ok());
    EXPECT_EQ(records, 100000);
    EXPECT_EQ(values, (QVariantList{QStringLiteral("x  y"), QStringLiteral("x  y")}));
}

TEST(SheetHostile, XlsxOddities)
{
    QTemporaryDir dir;
    const QByteArray types = "<Types/>";
    const QByteArray rels = "<Relationships><Relationship Id=\"r1\" Type=\"x/officeDocument\" "
                            "Target=\"xl/workbook.xml\"/></Relationships>";
    const QByteArray workbook =
        "<workbook><bookViews><workbookView activeTab=\"0\"/></bookViews><sheets>"
        "<sheet name=\"Chart\" r:id=\"c\" xmlns:r=\"rels\"/>"
        "<sheet name=\"Data\" r:id=\"d\" xmlns:r=\"rels\"/></sheets></workbook>";
    const QByteArray workbookRels =
        "<Relationships><Relationship Id=\"c\" Type=\"x/chartsheet\" Target=\"c.xml\"/>"
        "<Relationship Id=\"d\" Type=\"x/worksheet\" Target=\"worksheets/../d.xml\"/>"
        "<Relationship Id=\"s\" Type=\"x/sharedStrings\" Target=\"/xl/strings.xml\"/>"
        "</Relationships>";
    const QByteArray strings = "<sst><si><t>one</t><rPh><t>reading aid</t></rPh></si>"
                               "<si><r><t>t</t></r><r><t>wo_x000D_</t></r></si></sst>";
    const QByteArray sheet =
        "<worksheet><sheetData><row r=\"1\">"
        "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
        "<c r=\"C1\" t=\"s\"><v>7</v></c><c r=\"D1\" t=\"s\"><v>-1</v></c>"
        "<c r=\"AAAA1\"><v>5</v></c><c t=\"inlineStr\"><is><t>inline</t></is></c>"
        "</row><row><c><v>1e400</v></c><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#REF!</v></c>"
        "<c t=\"d\"><v>2024-02-29T12:00:00</v></c><c><f>SUM()</f></c></row>"
        "</sheetData></worksheet>";
    const auto package = [&](const QString &name, const QByteArray &sheetPart) {
        return writeZip(dir, name,
                        {{QStringLiteral("[Content_Types].xml"), types},
                         {QStringLiteral("_rels/.rels"), rels},
                         {QStringLiteral("xl/workbook.xml"), workbook},
                         {QStringLiteral("xl/_rels/workbook.xml.rels"), workbookRels},
                         {QStringLiteral("xl/strings.xml"), strings},
                         {QStringLiteral("xl/d.xml"), sheetPart}});
    };
    const QString path = package(QStringLiteral("odd.xlsx"), sheet);
    const Result<SheetBlock> block = readSheetBlock(path, 3, 6);
    ASSERT_TRUE(block.ok()) << block.message().toStdString();
    EXPECT_EQ(block->sheetName, QStringLiteral("Data")); // the active tab is a chart
    EXPECT_EQ(block->cells[0],
              (QStringList{QStringLiteral("one"), QStringLiteral("two\r"), QString(), QString(),
                           QStringLiteral("inline"), QString()}));
    // A number beyond a double is no number: its text stands as written.
    EXPECT_EQ(block->cells[1],
              (QStringList{QStringLiteral("1e400"), QStringLiteral("TRUE"), QStringLiteral("#REF!"),
                           QStringLiteral("45351.5"), QString(), QString()}));

    const QString cut = package(QStringLiteral("cut.xlsx"), sheet.chopped(30));
    expectNamedFailure(readSheetBlock(cut, 20, 20), cut, "xl/d.xml");
    const QString noBook = writeZip(dir, QStringLiteral("nobook.xlsx"),
                                    {{QStringLiteral("[Content_Types].xml"), types}});
    expectNamedFailure(readSheetBlock(noBook), noBook, "\"xl/workbook.xml\" is missing");
}

// Random damage to real files reaches the readers' damage checks all over: every outcome is a
// block or a failure that names the file, and the table path gives whole rows (the sanitizer
// build turns any overrun into a failure here).
TEST(SheetHostile, DamagedFilesGiveANamedFailureOrWholeRows)
{
    QTemporaryDir dir;
    QRandomGenerator random(20240229);
    for (const char *name : {"lo_formulas.xls", "gnm_two_sheets_biff5.xls", "lo_shared_strings.xls",
                             "lo_two_sheets.xlsx", "lo_two_sheets.ods"}) {
        const QByteArray original = sheetBytes(QString::fromLatin1(name));
        ASSERT_FALSE(original.isEmpty());
        for (int round = 0; round < 60; ++round) {
            QByteArray bytes = original;
            for (int i = 0, flips = 1 + int(random.bounded(8)); i < flips; ++i)
                bytes[qsizetype(random.bounded(quint32(bytes.size())))] = char(random.bounded(256));
            const QString path = writeFile(dir, QString::fromLatin1(name), bytes);
            const Result<SheetBlock> block = readSheetBlock(path);
            EXPECT_TRUE(block.ok() || block.message().startsWith("The file " + path))
                << block.message().toStdString();
            auto reader = openSheetReader(path);
            QVariantList values;
            while (reader.ok() && (*reader)->next(values))
                ASSERT_EQ(values.size(), qsizetype((*reader)->fields().size()));
        }
    }
}

// An active tab that is a chart, or beyond the sheets: the first worksheet is read.
TEST(SheetHostile, ActiveTabsThatCannotBeHonouredFallBackToTheFirstWorksheet)
{
    QTemporaryDir dir;
    Compound chart(sheetBytes(QStringLiteral("b_xls_two_sheets_wide.xls")));
    Compound tab = chart;
    chart.setStreamU32(chart.findRecord(0x0085, 1) + 5, 2, 1);
    tab.setStreamU32(tab.findRecord(0x003D) + 10, 99, 2);
    for (const Compound *book : {&chart, &tab}) {
        const QString path = writeFile(dir, QStringLiteral("tab.xls"), book->bytes);
        const Result<SheetBlock> block = readSheetBlock(path);
        ASSERT_TRUE(block.ok()) << block.message().toStdString();
        EXPECT_EQ(block->sheetName, QStringLiteral("Read me"));
        EXPECT_EQ(block->text(1, 0), QStringLiteral("The price matrix is on the second sheet."));
    }
}

// Damage after the block does not matter to the block, but a table read over it reports it.
TEST(SheetHostile, DamageBeyondTheBlockAndInTheTable)
{
    QTemporaryDir dir;
    QByteArray sheet = "<worksheet><sheetData>";
    for (int r = 1; r <= 30; ++r)
        sheet += QStringLiteral("<row r=\"%1\"><c t=\"inlineStr\"><is><t>row %1</t></is></c>"
                                "<c><v>%1</v></c></row>")
                     .arg(r)
                     .toUtf8();
    sheet += "<row r=\"31\""; // cut off here
    const QString path = writeZip(dir, QStringLiteral("cut.xlsx"), xlsxParts(sheet));

    const Result<SheetBlock> block = readSheetBlock(path, 20, 2);
    ASSERT_TRUE(block.ok()) << block.message().toStdString();
    EXPECT_EQ(block->text(19, 0), QStringLiteral("row 20"));
    EXPECT_EQ(block->text(19, 1), QStringLiteral("20"));
    expectNamedFailure(readSheetBlock(path, 40, 2), path, "xl/s.xml");

    auto reader = openSheetReader(path);
    ASSERT_TRUE(reader.ok()) << reader.message().toStdString();
    EXPECT_EQ((*reader)->fieldNames(), (QStringList{QStringLiteral("row 1"), QStringLiteral("1")}));
    QVariantList values;
    int records = 0;
    while ((*reader)->next(values))
        ++records;
    EXPECT_EQ(records, 29);
    EXPECT_TRUE((*reader)->status().message().startsWith(
        QStringLiteral("The file %1 cannot be read: ").arg(path)))
        << (*reader)->status().message().toStdString();
    EXPECT_FALSE((*reader)->next(values)); // and it stays stopped
}

// The text a cell shows is its paragraphs' text: spaces, tabs and line breaks as marked up,
// comments and shapes left out, a value without paragraphs shown from its value.
TEST(SheetOds, CellTextAsTheParagraphsCarryIt)
{
    QTemporaryDir dir;
    const QByteArray content =
        "<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:t=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:x=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
        "<office:spreadsheet><t:table t:name=\"Other\"><t:table-row><t:table-cell>"
        "<x:p>not this</x:p></t:table-cell></t:table-row></t:table>"
        "<t:table t:name=\"Main\"><t:table-header-rows><t:table-row>"
        "<t:table-cell><x:p>a<x:s x:c=\"3\"/>b<x:tab/>c</x:p><x:p>second <x:span>line</x:span>"
        "</x:p><office:annotation><x:p>a comment</x:p></office:annotation></t:table-cell>"
        "<t:covered-table-cell/><t:table-cell office:value-type=\"float\" office:value=\"2.5\"/>"
        "<t:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>"
        "</t:table-row></t:table-header-rows>"
        "<t:table-row-group><t:table-row><t:table-cell t:number-columns-repeated=\"2\"/>"
        "<t:table-cell><x:p>x<x:line-break/>y</x:p></t:table-cell></t:table-row>"
        "</t:table-row-group></t:table></office:spreadsheet></office:body>"
        "</office:document-content>";
    const QByteArray settings =
        "<office:document-settings "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:c=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><c:config-item "
        "c:name=\"ActiveTable\" c:type=\"string\">Main</c:config-item></office:document-settings>";
    const QString path = writeZip(
        dir, QStringLiteral("cells.ods"),
        {{QStringLiteral("content.xml"), content}, {QStringLiteral("settings.xml"), settings}});
    const Result<SheetBlock> block = readSheetBlock(path, 2, 4);
    ASSERT_TRUE(block.ok()) << block.message().toStdString();
    EXPECT_EQ(block->sheetName, QStringLiteral("Main"));
    EXPECT_EQ(block->cells[0], (QStringList{QStringLiteral("a   b\tc\nsecond line"), QString(),
                                            QStringLiteral("2.5"), QStringLiteral("TRUE")}));
    EXPECT_EQ(block->cells[1],
              (QStringList{QString(), QString(), QStringLiteral("x\ny"), QString()}));
}

// A relation that climbs out of the package names no part of it: the workbook is damaged, and
// says so by its name. Links to outside resources are no parts and change nothing.
TEST(SheetHostile, PartNamesOutsideThePackageAreDamage)
{
    QTemporaryDir dir;
    const QByteArray sheet =
        "<worksheet><sheetData><row r=\"1\"><c t=\"inlineStr\"><is><t>kept</t></is></c></row>"
        "</sheetData></worksheet>";
    auto withRelations = [&](const QByteArray &root, const QByteArray &book) {
        std::map<QString, QByteArray> parts = xlsxParts(sheet);
        parts[QStringLiteral("_rels/.rels")] = root;
        parts[QStringLiteral("xl/_rels/workbook.xml.rels")] = book;
        return parts;
    };
    const QByteArray goodRoot = "<Relationships><Relationship Id=\"r\" Type=\"x/officeDocument\" "
                                "Target=\"xl/workbook.xml\"/></Relationships>";
    const QByteArray goodBook =
        "<Relationships><Relationship Id=\"d\" Type=\"x/worksheet\" Target=\"s.xml\"/>"
        "<Relationship Id=\"h\" Type=\"x/hyperlink\" TargetMode=\"External\" "
        "Target=\"../../../elsewhere.xlsx\"/></Relationships>";

    QByteArray root = goodRoot;
    root.replace("xl/workbook.xml", "../workbook.xml");
    const QString above =
        writeZip(dir, QStringLiteral("above.xlsx"), withRelations(root, goodBook));
    expectNamedFailure(readSheetBlock(above), above,
                       "it is damaged: the part name \"../workbook.xml\" in \"_rels/.rels\" lies "
                       "outside the package");

    // Every relation goes through the same check: one that climbs from a sheet's relations too.
    QByteArray book = goodBook;
    book.replace("\"s.xml\"", "\"worksheets/../../../s.xml\"");
    const QString climbs =
        writeZip(dir, QStringLiteral("climbs.xlsx"), withRelations(goodRoot, book));
    expectNamedFailure(readSheetBlock(climbs), climbs, "it is damaged: the part name");

    // Writers that store part names with backslashes or in other letter cases still name parts;
    // the link to an outside file changes nothing.
    std::map<QString, QByteArray> loose;
    for (const auto &[name, bytes] : withRelations(goodRoot, goodBook)) {
        QString stored = name;
        stored.replace(QLatin1Char('/'), QLatin1Char('\\'));
        loose[name.startsWith(QLatin1String("xl/s")) ? stored.toUpper() : stored] = bytes;
    }
    const QString backslashes = writeZip(dir, QStringLiteral("backslashes.xlsx"), loose);
    const Result<SheetBlock> looseBlock = readSheetBlock(backslashes, 1, 1);
    ASSERT_TRUE(looseBlock.ok()) << looseBlock.message().toStdString();
    EXPECT_EQ(looseBlock->text(0, 0), QStringLiteral("kept"));
}

// A few kilobytes may ask for gigabytes: repeated spaces, millions of shared strings. What a cell
// can show is capped, and every expansion of a workbook is paid from one budget; past it the
// workbook is refused by name with the reason.
TEST(SheetHostile, ExpansionsArePaidFromOneBudgetPerWorkbook)
{
    QTemporaryDir dir;
    const QByteArray manySpaces = "<text:s text:c=\"4096\"/>";

    // 400,000 runs of 4096 spaces in one cell: 22 KB asking for 3 GB.
    QByteArray oneCell = "<table:table-row><table:table-cell><text:p>";
    for (int i = 0; i < 400000; ++i)
        oneCell += manySpaces;
    oneCell += "</text:p></table:table-cell></table:table-row>";
    const QString spaces = writeOds(dir, QStringLiteral("spaces.ods"), oneCell);
    expectNamedFailure(readSheetBlock(spaces), spaces, "a cell holds more than 32767 characters");

    // The same spread over many cells, none of them too long: the budget ends it.
    QByteArray spread = "<table:table-row>";
    for (int c = 0; c < 3000; ++c) {
        spread += "<table:table-cell><text:p>";
        for (int i = 0; i < 7; ++i)
            spread += manySpaces;
        spread += "</text:p></table:table-cell>";
    }
    spread += "</table:table-row>";
    const QString spreadPath = writeOds(dir, QStringLiteral("spread.ods"), spread);
    expectNamedFailure(readSheetBlock(spreadPath, 20, 20), spreadPath,
                       "its text expands to more than 128 MiB");

    // Shared strings are kept for the whole read, so they are paid for as they are read.
    QByteArray strings = "<sst>";
    const QByteArray longString = "<si><t>" + QByteArray(30000, 's') + "</t></si>";
    for (int i = 0; i < 2300; ++i)
        strings += longString;
    strings += "</sst>";
    std::map<QString, QByteArray> parts = xlsxParts(
        "<worksheet><sheetData><row r=\"1\"><c t=\"s\"><v>0</v></c></row></sheetData></worksheet>",
        strings);
    const QString shared = writeZip(dir, QStringLiteral("shared.xlsx"), parts);
    expectNamedFailure(readSheetBlock(shared), shared, "its text expands to more than 128 MiB");
    parts[QStringLiteral("xl/strings.xml")] =
        "<sst><si><t>" + QByteArray(40000, 'l') + "</t></si></sst>";
    const QString tooLong = writeZip(dir, QStringLiteral("long.xlsx"), parts);
    expectNamedFailure(readSheetBlock(tooLong), tooLong, "a cell holds more than 32767 characters");
}
