#pragma once
// The lists of the import window: the mapping of contact columns onto source fields (the two
// editable mapping lists and the selection that follows them), and the records of a preview.

#include "common/row_table_model.h"
#include "contacts/import/field_mapping.h"

namespace quenda {

struct MappingGridRow {
    QString group;
    QString column; // the cnt_main column
    QString display;
    QString field; // the source field that feeds the column; "" for none
    bool include = true;
};

class MappingModel : public RowTableModel<MappingGridRow> {
public:
    enum Column { GroupCol = 1, ColumnCol, DisplayCol, FieldCol, IncludeCol };
    enum class Kind { Mapping, Selection }; // the user edits a mapping's fields, not a selection's

    MappingModel(Kind kind, const std::vector<MappingRow> &rows, bool ticked,
                 QObject *parent = nullptr);

    void setField(int row, const QString &field);
    // Each row's field, in row order: what a scheme keeps.
    QStringList fields() const;
    // Whether any row names a field at all.
    bool anyMapped() const;
    // The rows that name a field and are ticked: what an import reads.
    std::vector<ImportPair> includedPairs() const;
};

// Fills the rows of the lists that have no field yet with the field the source's field names
// suggest for their column; a field the user (or a recalled scheme) chose stays.
void applySuggestedFields(const std::vector<MappingModel *> &lists, const QStringList &sourceFields,
                          const QString &kind);

// One record of a preview: its values in the order of the preview's fields.
struct PreviewRecord {
    QStringList values;
};

class PreviewModel : public RowTableModel<PreviewRecord> {
public:
    explicit PreviewModel(QObject *parent = nullptr);
    // A blank leading column, then one column per field.
    void setRecords(const QStringList &fields, std::vector<QStringList> records);
};

} // namespace quenda
