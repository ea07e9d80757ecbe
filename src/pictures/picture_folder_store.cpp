#include "pictures/picture_folder_store.h"

namespace quenda {

PictureFolderStore::PictureFolderStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<std::vector<PictureFolderRow>> PictureFolderStore::rows()
{
    return m_connection.ask<std::vector<PictureFolderRow>>(
        [&](QSqlDatabase &db) { return pictureFolderRows(db); });
}

} // namespace quenda
