#include "notes/note_list_store.h"

namespace quenda {

NoteListStore::NoteListStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<std::vector<ScanRow>> NoteListStore::rows(ScanTable table)
{
    return m_connection.ask<std::vector<ScanRow>>(
        [&](QSqlDatabase &db) { return scanListRows(db, table); });
}

} // namespace quenda
