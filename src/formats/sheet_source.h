#pragma once
// What each spreadsheet format gives the shared reader: the rows of the active sheet, in order,
// each with its non-empty cells as shown text. Rows are produced one at a time while the file
// is read, so the caller decides how much of a sheet is ever looked at.

#include <QString>

#include <memory>
#include <vector>

class QIODevice;

namespace quenda {

struct SheetCell {
    int column = 0; // from 0
    QString text;
};

struct SheetRow {
    int index = 0;                // from 0
    std::vector<SheetCell> cells; // non-empty cells, in file order
};

class SheetSource {
public:
    virtual ~SheetSource() = default;

    // The next row holding at least one non-empty cell. False at the end of the sheet, or on a
    // fault: then error() says why (without the file name).
    virtual bool nextRow(SheetRow &row) = 0;
    virtual QString error() const = 0;
    virtual QString sheetName() const = 0;
    // True when error() is already a whole sentence naming the file.
    virtual bool errorNamesFile() const { return false; }
    // From now on cells at or right of this column are not stored.
    void setMaxColumns(int columns) { m_maxColumns = columns; }
    // The Windows code page of the sheet's text bytes (1200 for UTF-16, 65001 for UTF-8).
    virtual int codePage() const = 0;

protected:
    explicit SheetSource(int maxColumns) : m_maxColumns(maxColumns) {}
    int m_maxColumns;
};

class ZipArchive;

// Cells at or right of maxColumns are never stored. On failure the result is null and *error
// holds the reason. The device or archive stays with the source.
std::unique_ptr<SheetSource> openXlsSource(std::unique_ptr<QIODevice> file, int maxColumns,
                                           QString *error);
std::unique_ptr<SheetSource> openXlsxSource(std::unique_ptr<ZipArchive> zip, int maxColumns,
                                            QString *error);
std::unique_ptr<SheetSource> openOdsSource(std::unique_ptr<ZipArchive> zip, int maxColumns,
                                           QString *error);

} // namespace quenda
