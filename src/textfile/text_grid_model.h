#pragma once
// The generator's grid as a model: one row per grid row past the headers, one column per grid
// column, headed by the grid's row 0.

#include "common/row_table_model.h"
#include "textfile/text_file.h"

namespace quenda {

struct TextGridRow {
    QStringList cells;
};

class TextGridModel : public RowTableModel<TextGridRow> {
public:
    explicit TextGridModel(QObject *parent = nullptr);
    void setGrid(const TextGrid &grid);
};

} // namespace quenda
