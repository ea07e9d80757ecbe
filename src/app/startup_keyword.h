#pragma once
// The keyword the suite leaves in the database to name the window the module opens first. The
// main window reads it once when built and takes it (reads and clears it) when first
// activated; when the database is busy then, a job takes it on a connection that waits.

#include "common/result.h"
#include "db/database.h"
#include "jobs/job_control.h"

#include <QString>

namespace quenda {

// The main window's own connection, which never waits for another writer.
class StartupKeywordStore {
public:
    explicit StartupKeywordStore(const QString &databasePath);

    // Lower-cased, "" for none; the connection's reason when it could not be opened.
    Result<QString> read();
    Status clear();

private:
    Connection m_connection;
};

// Reads the keyword and clears it, waiting for other writers, for a job's body. A keyword that
// could not be read aborts the job and gives ""; one that could not be cleared aborts it and
// is still given, so the caller can open its window this once.
QString takeStartupKeyword(const QString &databasePath, JobControl &control);

} // namespace quenda
