#pragma once
// The recorded picture folders (quenda_Ipod): the sub-folders of one chosen folder, four
// levels deep, one row per folder, kept in the order they were recorded so that parents come
// before their children. Paths and names go through the database form of native_path.h.

#include "common/result.h"
#include "db/batched_writer.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

struct PictureFolderRow {
    QString folderPath; // the chosen folder, no trailing separator ("/" for the root itself)
    QStringList names;  // one to four sub-folder names, first level first

    bool operator==(const PictureFolderRow &) const = default;
};

// Empties the table and records rows in batches; a row is labelled by its folder's path in
// failures. The delete is committed with the first batch, so a refused delete keeps the old
// rows.
class PictureFolderWriter {
public:
    PictureFolderWriter(QSqlDatabase &db, JobControl &control,
                        int rowsPerBatch = BatchedWriter::kRowsPerBatch);
    Status status() const { return m_writer.status(); }
    Status clear();
    // Levels beyond the row's names are stored as nulls.
    bool add(const PictureFolderRow &row, const QString &label);
    Status finish() { return m_writer.finish(); }
    qint64 committed() const { return m_writer.committed(); }

private:
    BatchedWriter m_writer;
};

// Every row in the order it was recorded; null levels end a row's names.
Result<std::vector<PictureFolderRow>> pictureFolderRows(QSqlDatabase &db);

} // namespace quenda
