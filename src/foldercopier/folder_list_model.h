#pragma once
// The folders of a scheme as the folder copier lists them: one typed row per folder. A ticked
// folder is a marked row: the tick is the only state, and the mark colours and the bold text
// follow it.

#include "common/row_table_model.h"
#include "db/folder_schemes.h"

#include <QHash>

namespace quenda {

class FolderListModel : public RowTableModel<SchemeFolderRow> {
public:
    // A blank column, FolderPath, FolderName, FolderSize, SelectFolder, ScheemeName.
    explicit FolderListModel(QObject *parent = nullptr);

    static constexpr int kTickColumn = 4;

    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    void setTicked(int row, bool ticked);
    void setAllTicked(bool ticked);
    // The paths of the ticked rows, in list order.
    QStringList tickedPaths() const;
    // Each row's path with its tick, in list order.
    std::vector<std::pair<QString, bool>> ticks() const;
    // The ticks of one scheme's rows by path: what a refresh of that scheme should keep.
    QHash<QString, bool> ticksOfScheme(const QString &scheme) const;
    // Gives each row whose path is in ticks that tick; other rows stay as they are.
    void restoreTicks(const QHash<QString, bool> &ticks);
};

} // namespace quenda
