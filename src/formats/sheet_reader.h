#pragma once
// Spreadsheets for the text file generator and the import: .xls (Excel 97-2003 and Excel
// 5/95), .xlsx, .ods and .csv. Every cell comes as the text the spreadsheet shows for it
// (numbers and dates through their number formats, English (USA) conventions), always from
// the sheet that was active when the workbook was saved.

#include "common/result.h"
#include "formats/table_reader.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace quenda {

enum class SheetFormat { Xls, Xlsx, Ods, Csv };

struct SheetBlock {
    QString sheetName;
    int rows = 0, columns = 0; // the size asked for: cells has exactly this shape
    int usedRows = 0;          // rows up to the last one with a non-empty cell in the block
    int usedColumns = 0;       // likewise for columns
    QList<QStringList> cells;  // cells[row][column] from 0; empty text for an empty cell

    QString text(int row, int column) const
    {
        if (row < 0 || row >= cells.size() || column < 0 || column >= cells[row].size())
            return QString();
        return cells[row][column];
    }
};

// The first rows x columns cells of the active sheet. A sheet may be larger: the rest is never
// read. Fails with "The file <path> cannot be read: <why>".
Result<SheetBlock> readSheetBlock(const QString &path, int rows = 20, int columns = 20);

// The active sheet as a table: its first non-empty row gives the field names (an empty or
// repeated name becomes F1, F2 ... after its column), every following non-empty row one
// record of texts. Empty rows are no records.
Result<std::unique_ptr<TableReader>> openSheetReader(const QString &path);

} // namespace quenda
