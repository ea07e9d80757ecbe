#include "textfile/text_grid_model.h"

namespace quenda {

TextGridModel::TextGridModel(QObject *parent) : RowTableModel<TextGridRow>({}, parent) {}

void TextGridModel::setGrid(const TextGrid &grid)
{
    std::vector<RowColumn<TextGridRow>> columns;
    const QStringList headers = grid.value(0);
    for (int c = 0; c < kTextGridCols; ++c)
        columns.push_back(RowColumn<TextGridRow>::computed(
            QString::number(c), headers.value(c),
            [c](const TextGridRow &r) { return QVariant(r.cells.value(c)); }));
    std::vector<TextGridRow> rows;
    for (qsizetype r = 1; r < grid.size(); ++r)
        rows.push_back({grid[r]});
    setColumnsAndRows(std::move(columns), std::move(rows));
}

} // namespace quenda
