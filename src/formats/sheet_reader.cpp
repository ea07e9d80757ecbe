#include "formats/sheet_reader.h"

#include "formats/byte_source.h"
#include "formats/delimited_reader.h"
#include "formats/sheet_cfb.h"
#include "formats/sheet_source.h"
#include "formats/sheet_zip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

constexpr int kMaxBlockRows = 1 << 20;
constexpr int kMaxColumns = 16384; // the widest sheet any of these formats holds

QString cannotRead(const QString &path, const QString &why)
{
    return cannotReadMessage(QDir::toNativeSeparators(path), why);
}

// A comma-separated file as a sheet: every line a row, every field its shown text. The sheet
// takes the file's name, as spreadsheets name it on opening.
class CsvSource final : public SheetSource {
public:
    CsvSource(std::unique_ptr<DelimitedReader> reader, QString name, int maxColumns)
        : SheetSource(maxColumns), m_reader(std::move(reader)), m_name(std::move(name))
    {
    }
    bool nextRow(SheetRow &row) override
    {
        QStringList cells;
        if (!m_reader->nextRow(cells))
            return false;
        row.index = m_index++;
        row.cells.clear();
        for (qsizetype c = 0; c < cells.size() && c < m_maxColumns; ++c)
            if (!cells[c].isEmpty())
                row.cells.push_back(SheetCell{int(c), cells[c]});
        return true;
    }
    Status status() const override { return m_reader->status(); }
    QString sheetName() const override { return m_name; }
    int codePage() const override { return m_reader->codePage(); }
    bool errorNamesFile() const override { return true; }

private:
    std::unique_ptr<DelimitedReader> m_reader;
    QString m_name;
    int m_index = 0;
};

// Opens a regular file for reading. O_NONBLOCK keeps a FIFO from blocking the open; what is
// not a regular file is refused before a byte is read.
int openRegularFile(const QString &path, QString *why)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *why = systemErrorText(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *why = systemErrorText(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = QStringLiteral("it is not a regular file");
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

enum class Container { Compound, Zip, Text };

bool isDelimitedText(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("csv") || suffix == QLatin1String("txt") ||
           suffix == QLatin1String("tab");
}

bool looksLikeOldBiff(const unsigned char *head, ssize_t n)
{
    // BOF records of Excel 2, 3 and 4 files, which stand alone rather than in a compound file.
    return n >= 2 && head[0] == 0x09 &&
           (head[1] == 0x00 || head[1] == 0x02 || head[1] == 0x04 || head[1] == 0x08);
}

std::optional<Container> containerOf(int fd, const QString &path, QString *why)
{
    unsigned char head[8] = {};
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    if (n < 0) {
        *why = systemErrorText(errno);
        return std::nullopt;
    }
    const QByteArrayView bytes(reinterpret_cast<const char *>(head), n);
    if (CompoundFile::hasSignature(bytes))
        return Container::Compound;
    if (bytes.startsWith("PK\x03\x04"))
        return Container::Zip;
    if (isDelimitedText(path))
        return Container::Text;
    if (looksLikeOldBiff(head, n))
        *why = QStringLiteral("workbooks older than Excel 5 are not supported");
    else if (n == 0)
        *why = QStringLiteral("it is empty");
    else
        *why = QStringLiteral("it is not a spreadsheet of a kind this program reads");
    return std::nullopt;
}

Result<std::unique_ptr<SheetSource>> openSource(const QString &path, int maxColumns)
{
    QString why;
    const int fd = openRegularFile(path, &why);
    if (fd < 0)
        return fail(cannotRead(path, why));
    const std::optional<Container> container = containerOf(fd, path, &why);
    if (!container) {
        ::close(fd);
        return fail(cannotRead(path, why));
    }
    std::unique_ptr<SheetSource> source;
    switch (*container) {
    case Container::Compound: {
        auto file = std::make_unique<QFile>();
        if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return fail(cannotRead(path, file->errorString()));
        }
        auto opened = openXlsSource(std::move(file), maxColumns);
        if (!opened)
            return fail(cannotRead(path, opened.message()));
        source = std::move(*opened);
        break;
    }
    case Container::Zip: {
        auto zip = ZipArchive::fromDescriptor(fd);
        if (!zip)
            return fail(cannotRead(path, zip.message()));
        auto &archive = *zip;
        Result<std::unique_ptr<SheetSource>> opened =
            archive->contains(QStringLiteral("[Content_Types].xml"))
                ? openXlsxSource(std::move(archive), maxColumns)
            : archive->contains(QStringLiteral("content.xml"))
                ? openOdsSource(std::move(archive), maxColumns)
                : Result<std::unique_ptr<SheetSource>>(
                      fail(QStringLiteral("it is a zip archive but not a spreadsheet")));
        if (!opened)
            return fail(cannotRead(path, opened.message()));
        source = std::move(*opened);
        break;
    }
    case Container::Text: {
        ::close(fd);
        DelimitedOptions options;
        options.headerLine = false; // the first line is a row of the sheet like any other
        auto reader = DelimitedReader::open(path, options);
        if (!reader)
            return reader.error();
        source = std::make_unique<CsvSource>(std::move(*reader), QFileInfo(path).completeBaseName(),
                                             maxColumns);
        break;
    }
    }
    if (!source)
        return fail(cannotRead(path, why));
    return source;
}

QString fieldName(const QString &text, int column, const QStringList &earlier)
{
    const QString name = text.trimmed();
    if (name.isEmpty() || earlier.contains(name, Qt::CaseInsensitive))
        return QStringLiteral("F%1").arg(column + 1);
    return name;
}

class SheetTableReader final : public TableReader {
public:
    SheetTableReader(std::unique_ptr<SheetSource> source, QString path)
        : m_source(std::move(source)), m_path(std::move(path))
    {
    }

    // Reads the row of field names; false with the reason in status() on a fault.
    bool start()
    {
        SheetRow header;
        if (!m_source->nextRow(header)) {
            if (const Status s = m_source->status(); !s)
                m_error = cannotRead(m_path, s.message());
            return m_error.isEmpty();
        }
        m_lastIndex = header.index;
        int width = 0;
        for (const SheetCell &c : header.cells)
            width = std::max(width, c.column + 1);
        QStringList texts(width);
        for (const SheetCell &c : header.cells)
            texts[c.column] = c.text;
        QStringList names;
        for (int i = 0; i < width; ++i) {
            names << fieldName(texts[i], i, names);
            m_fields.push_back(FieldInfo{names.last(), FieldType::Text, 0});
        }
        m_source->setMaxColumns(width); // values right of the last field have no place
        return true;
    }

    const std::vector<FieldInfo> &fields() const override { return m_fields; }

    bool next(QVariantList &values) override
    {
        if (!m_error.isEmpty())
            return false;
        SheetRow row;
        while (m_source->nextRow(row)) {
            if (row.index <= m_lastIndex)
                continue; // a row out of order in a damaged file: already past it
            m_lastIndex = row.index;
            values.clear();
            for (size_t i = 0; i < m_fields.size(); ++i)
                values.append(QVariant());
            for (SheetCell &c : row.cells)
                if (size_t(c.column) < m_fields.size())
                    values[c.column] = std::move(c.text);
            ++m_record;
            return true;
        }
        if (const Status s = m_source->status(); !s)
            m_error = cannotRead(m_path, s.message());
        return false;
    }

    Status status() const override { return faultStatus(m_error); }
    int codePage() const override { return m_source->codePage(); }
    qint64 recordNumber() const override { return m_record; }

private:
    std::unique_ptr<SheetSource> m_source;
    QString m_path;
    std::vector<FieldInfo> m_fields;
    QString m_error;
    int m_lastIndex = -1;
    qint64 m_record = 0;
};

} // namespace

Result<SheetBlock> readSheetBlock(const QString &path, int rows, int columns)
{
    rows = std::clamp(rows, 0, kMaxBlockRows);
    columns = std::clamp(columns, 0, kMaxColumns);
    auto opened = openSource(path, columns);
    if (!opened)
        return opened.error();
    SheetSource &source = **opened;

    SheetBlock block;
    block.sheetName = source.sheetName();
    block.rows = rows;
    block.columns = columns;
    block.cells.reserve(rows);
    for (int r = 0; r < rows; ++r)
        block.cells.append(QStringList(columns));

    SheetRow row;
    bool complete = false;
    while (source.nextRow(row)) {
        // Rows come in order: the first one past the block ends the reading.
        if (row.index >= rows) {
            complete = true;
            break;
        }
        for (SheetCell &c : row.cells) {
            if (c.column < 0 || c.column >= columns)
                continue;
            block.cells[row.index][c.column] = std::move(c.text);
            block.usedRows = std::max(block.usedRows, row.index + 1);
            block.usedColumns = std::max(block.usedColumns, c.column + 1);
        }
    }
    if (const Status s = source.status(); !complete && !s)
        return fail(source.errorNamesFile() ? s.message() : cannotRead(path, s.message()));
    return block;
}

Result<std::unique_ptr<TableReader>> openSheetReader(const QString &path)
{
    if (isDelimitedText(path)) {
        auto reader = DelimitedReader::open(path);
        if (!reader)
            return reader.error();
        return std::unique_ptr<TableReader>(std::move(*reader));
    }
    auto opened = openSource(path, kMaxColumns);
    if (!opened)
        return opened.error();
    auto reader = std::make_unique<SheetTableReader>(std::move(*opened), path);
    if (!reader->start())
        return reader->status().error();
    return std::unique_ptr<TableReader>(std::move(reader));
}

} // namespace quenda
