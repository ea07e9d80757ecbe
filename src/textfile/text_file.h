#pragma once
// The text file generator: the first 20 rows and 20 columns of a spreadsheet's active sheet in
// a grid of 50 rows and 25 columns (row 0 the headers, column 0 unused), written as blocks of
// "header: value" lines that read well on the device.

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

inline constexpr int kTextGridRows = 50;
inline constexpr int kTextGridCols = 25;
inline constexpr int kSheetRowsRead = 20;
inline constexpr int kSheetColsRead = 20;
inline constexpr const char *kTextFileName = "QDFile.txt";

// cells[row][col], always kTextGridRows by kTextGridCols; row 0 holds the headers.
using TextGrid = QList<QStringList>;

TextGrid emptyTextGrid();

// Sheet cell (r, c), both from 1, lands in grid cell (r - 1, c); the rest of the grid is empty,
// so nothing of an earlier, larger sheet stays behind. Fails with the reader's sentence.
Result<TextGrid> importSpreadsheet(const QString &path);

enum class TextLayout {
    Blocks,        // every grid row a block, values padded to start after ten characters
    Compact,       // only the rows that hold a value, padded as above
    AlignedCompact // only the rows that hold a value, padded to the longest header used
};

// The text of the file with CR LF line ends. Every block opens with an empty line pair; each
// non-empty cell of the row gives "header: " + padding + value. Line ends inside a header or
// a value become CR LF as well.
QString textFileContent(const TextGrid &grid, TextLayout layout = TextLayout::Blocks);

// Windows-1252 when every character fits, otherwise UTF-8 with a byte-order mark.
QByteArray textFileBytes(const TextGrid &grid, TextLayout layout = TextLayout::Blocks);

// The file's place on the Desktop; "" when the Desktop cannot be named.
QString textFilePath(const QString &desktopDir);

// Refuses an output that is the source itself, by the same path or as the same file reached
// another way (a link, a hard link): the text would replace the spreadsheet it came from.
Status checkNotOwnSource(const QString &sourcePath, const QString &outputPath);

// Creates or replaces the file through a temporary name; a failure names the file and gives
// the system's reason, and the earlier file stays whole.
Status writeTextFileFromGrid(const QString &path, const TextGrid &grid,
                             TextLayout layout = TextLayout::Blocks);

// "File saved on <path>".
QString textFileSavedMessage(const QString &path);

// A written file's text again, whichever of its two encodings it has.
QString decodeTextFile(const QByteArray &bytes);

// A written file's text again, at most maxBytes of it, with LF line ends; "" when it cannot be
// read.
QString readTextFileBack(const QString &path, qint64 maxBytes);

// The folder the picking lists start in: the exported spreadsheets' folder under the user files
// when there is one, else homeDir.
QString spreadsheetStartFolder(const QString &userFilesDir, const QString &homeDir);

// What the picking lists show of a folder: its sub-folders and its spreadsheets, each in
// natural order ("Year 2" before "Year 10"); the parent is offered unless it is the root. Each
// entry carries its path: a list shows names, but what is picked is opened by its path.
struct SpreadsheetEntry {
    QString name;
    QString path;
};
struct SpreadsheetFolder {
    QString parent; // "" at the root
    std::vector<SpreadsheetEntry> folders;
    std::vector<SpreadsheetEntry> files;
};
SpreadsheetFolder listSpreadsheetFolder(const QString &folder);

// A drive's root can be entered and listed.
bool isEnterableFolder(const QString &path);

} // namespace quenda
