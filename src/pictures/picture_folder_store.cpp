#include "pictures/picture_folder_store.h"

namespace quenda {

PictureFolderStore::PictureFolderStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<std::vector<PictureFolderRow>> PictureFolderStore::rows()
{
    if (!m_connection.isOpen())
        return m_connection.status().error();
    return pictureFolderRows(m_connection.db());
}

} // namespace quenda
