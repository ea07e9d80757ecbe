#pragma once
// The recorded picture folders as the window lists them: the folder, its four levels of
// sub-folder names and the flattened name it is sent under.

#include "common/row_table_model.h"
#include "db/picture_folders.h"

namespace quenda {

struct PictureGridRow {
    PictureFolderRow folder;
    QString destination;
};

class PictureFolderModel : public RowTableModel<PictureGridRow> {
public:
    static constexpr int kDestinationCol = 5;
    explicit PictureFolderModel(QObject *parent = nullptr);
    // The rows of one recorded tree, whose base name is rootName.
    void setFolders(const std::vector<PictureFolderRow> &folders, const QString &rootName);
};

} // namespace quenda
