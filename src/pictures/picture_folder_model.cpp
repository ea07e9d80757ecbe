#include "pictures/picture_folder_model.h"

#include "pictures/picture_names.h"
#include "pictures/picture_scan.h"

#include <QDir>

namespace quenda {

namespace {

using Col = RowColumn<PictureGridRow>;

std::vector<Col> pictureColumns()
{
    std::vector<Col> columns{Col::computed(
        QStringLiteral("Folder"), QStringLiteral("Drive"), [](const PictureGridRow &r) {
            return QVariant(QDir::toNativeSeparators(r.folder.folderPath));
        })};
    const char *keys[] = {"SubFolder", "SubFolder1", "SubFolder2", "SubFolder3"};
    for (int level = 0; level < kPictureLevels; ++level)
        columns.push_back(Col::computed(
            QString::fromLatin1(keys[level]), QStringLiteral("Sub Folder"),
            [level](const PictureGridRow &r) { return QVariant(r.folder.names.value(level)); }));
    columns.push_back(Col::text(QStringLiteral("Destination"), QStringLiteral("Destination"),
                                &PictureGridRow::destination));
    return columns;
}

} // namespace

PictureFolderModel::PictureFolderModel(QObject *parent)
    : RowTableModel<PictureGridRow>(pictureColumns(), parent)
{
}

void PictureFolderModel::setFolders(const std::vector<PictureFolderRow> &folders,
                                    const QString &rootName)
{
    std::vector<PictureGridRow> rows;
    rows.reserve(folders.size());
    for (const PictureFolderRow &folder : folders)
        rows.push_back({folder, QDir::toNativeSeparators(destinationName(rootName, folder.names))});
    setRows(std::move(rows));
}

} // namespace quenda
