#include "textfile/text_file.h"

#include "formats/sheet_reader.h"
#include "fs/name_masks.h"
#include "fs/regular_file.h"
#include "fs/text_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>

namespace quenda {

namespace {

constexpr int kPadWidth = 10;

// Blanks only, as the padding counts them; tabs and other spacing stay part of the header.
qsizetype trimmedLength(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return end - begin;
}

bool rowHoldsValue(const QStringList &row)
{
    return std::any_of(row.begin(), row.end(), [](const QString &v) { return !v.isEmpty(); });
}

int widestUsedHeader(const TextGrid &grid)
{
    qsizetype widest = kPadWidth;
    for (int col = 0; col < kTextGridCols; ++col) {
        bool used = false;
        for (int row = 1; row < grid.size() && !used; ++row)
            used = !grid[row].value(col).isEmpty();
        if (used)
            widest = std::max(widest, trimmedLength(grid[0].value(col)));
    }
    return static_cast<int>(widest);
}

} // namespace

TextGrid emptyTextGrid()
{
    return TextGrid(kTextGridRows, QStringList(kTextGridCols, QString()));
}

Result<TextGrid> importSpreadsheet(const QString &path)
{
    Result<SheetBlock> block = readSheetBlock(path, kSheetRowsRead, kSheetColsRead);
    if (!block)
        return block.error();
    TextGrid grid = emptyTextGrid();
    for (int r = 0; r < kSheetRowsRead; ++r)
        for (int c = 0; c < kSheetColsRead; ++c)
            grid[r][c + 1] = block->text(r, c);
    return grid;
}

QString textFileContent(const TextGrid &grid, TextLayout layout)
{
    static const QString kLineEnd = QStringLiteral("\r\n");
    const QStringList noHeaders(kTextGridCols, QString());
    const QStringList &headers = grid.isEmpty() ? noHeaders : grid[0];
    const int width = layout == TextLayout::AlignedCompact ? widestUsedHeader(grid) : kPadWidth;
    QString out;
    for (int row = 1; row < kTextGridRows; ++row) {
        const QStringList cells = row < grid.size() ? grid[row] : QStringList();
        if (layout != TextLayout::Blocks && !rowHoldsValue(cells))
            continue;
        out += kLineEnd;
        out += kLineEnd;
        for (int col = 0; col < kTextGridCols; ++col) {
            const QString value = cells.value(col);
            if (value.isEmpty())
                continue;
            const QString header = headers.value(col);
            out += header;
            out += QLatin1String(": ");
            out += QString(std::max<qsizetype>(0, width - trimmedLength(header)), QLatin1Char(' '));
            out += value;
            out += kLineEnd;
        }
    }
    // A cell may hold line breaks of its own; the file keeps CR LF throughout.
    return withCrLf(out);
}

QByteArray textFileBytes(const TextGrid &grid, TextLayout layout)
{
    return encodeForDeviceMarked(textFileContent(grid, layout));
}

QString textFilePath(const QString &desktopDir)
{
    if (desktopDir.isEmpty())
        return QString();
    return QDir(desktopDir).filePath(QString::fromLatin1(kTextFileName));
}

Status checkNotOwnSource(const QString &sourcePath, const QString &outputPath)
{
    if (sourcePath.isEmpty() || outputPath.isEmpty())
        return {};
    const QString source = QDir::cleanPath(QFileInfo(sourcePath).absoluteFilePath());
    const QString output = QDir::cleanPath(QFileInfo(outputPath).absoluteFilePath());
    bool same = source == output;
    struct stat a {};
    struct stat b {};
    if (!same && ::stat(QFile::encodeName(source).constData(), &a) == 0 &&
        ::stat(QFile::encodeName(output).constData(), &b) == 0)
        same = a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    if (!same)
        return {};
    return fail(QStringLiteral("The text file would replace its own source %1; nothing was "
                               "written. Write it under another name.")
                    .arg(QDir::toNativeSeparators(sourcePath)));
}

Status writeTextFileFromGrid(const QString &path, const TextGrid &grid, TextLayout layout)
{
    if (path.isEmpty())
        return fail(QStringLiteral("The Desktop folder cannot be found"));
    return writeBytesFile(path, textFileBytes(grid, layout));
}

QString textFileSavedMessage(const QString &path)
{
    return QStringLiteral("File saved on ") + QDir::toNativeSeparators(path);
}

QString decodeTextFile(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return fromWindows1252(bytes);
}

namespace {

bool isSpreadsheetName(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("xls") || suffix == QLatin1String("xlsx") ||
           suffix == QLatin1String("ods") || suffix == QLatin1String("csv");
}

QStringList naturallySorted(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return naturalCompare(a, b) < 0; });
    return names;
}

} // namespace

QString readTextFileBack(const QString &path, qint64 maxBytes)
{
    QFile file;
    if (!openRegularFile(path, file))
        return QString();
    return decodeTextFile(file.read(maxBytes)).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QString spreadsheetStartFolder(const QString &userFilesDir, const QString &homeDir)
{
    const QString excel = QDir(userFilesDir).filePath(QStringLiteral("Exported files/Excel"));
    if (QFileInfo(excel).isDir())
        return excel;
    return homeDir.isEmpty() ? QDir::homePath() : homeDir;
}

SpreadsheetFolder listSpreadsheetFolder(const QString &folder)
{
    SpreadsheetFolder out;
    const QDir dir(folder);
    if (!dir.isRoot())
        out.parent = QDir::cleanPath(dir.filePath(QStringLiteral("..")));
    for (const QString &name : naturallySorted(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)))
        out.folders.push_back({name, dir.filePath(name)});
    QStringList files;
    for (const QString &name : dir.entryList(QDir::Files))
        if (isSpreadsheetName(name))
            files << name;
    for (const QString &name : naturallySorted(files))
        out.files.push_back({name, dir.filePath(name)});
    return out;
}

bool isEnterableFolder(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isReadable() && info.isExecutable();
}

} // namespace quenda
