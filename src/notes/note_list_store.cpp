#include "notes/note_list_store.h"

namespace quenda {

NoteListStore::NoteListStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<std::vector<ScanRow>> NoteListStore::rows(ScanTable table)
{
    if (!m_connection.isOpen())
        return m_connection.status().error();
    return scanListRows(m_connection.db(), table);
}

} // namespace quenda
