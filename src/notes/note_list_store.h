#pragma once
// The two stored lists of the notes window (the scanned documents and the converted notes) on
// a connection of the window's own; a scan or a conversion writes on a connection of its job.
// A connection that could not be opened answers with its reason.

#include "common/result.h"
#include "db/database.h"
#include "db/scans.h"

#include <QString>

#include <vector>

namespace quenda {

class NoteListStore {
public:
    explicit NoteListStore(const QString &databasePath);

    Result<std::vector<ScanRow>> rows(ScanTable table);

private:
    Connection m_connection;
};

} // namespace quenda
