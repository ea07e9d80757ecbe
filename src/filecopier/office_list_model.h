#pragma once
// The file copier's list of recorded office files: one typed row per record, the SelectFile
// column a tick. Two records may share a path (a file found through nested ticked folders); they
// are one file and are ticked together.

#include "common/row_table_model.h"
#include "db/scans.h"

namespace quenda {

struct OfficeListRow {
    QString application; // file name with extension
    QString path;
    bool selected = false; // ticked for the copy
    QString type;
    QString size; // bytes, decimal, as recorded
};

// The records as the table gives them (OfficeListColumn order), as list rows.
std::vector<OfficeListRow> officeListRows(const std::vector<QStringList> &records);

class OfficeListModel : public RowTableModel<OfficeListRow> {
public:
    // Application, Path, SelectFile, Type, FileSize.
    explicit OfficeListModel(QObject *parent = nullptr);

    static constexpr int kSelectColumn = 2;

    // Ticks or clears every row of the path.
    void setSelected(const QString &path, bool selected);
    void setAllSelected(bool selected);
    void removePath(const QString &path);
    // The paths of the ticked rows, in list order.
    QStringList selectedPaths() const;
    // Each row's path with its tick, in list order, as the selection is saved.
    std::vector<std::pair<QString, bool>> selectionStates() const;
};

} // namespace quenda
