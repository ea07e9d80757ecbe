#pragma once
// The folder schemes of the folder copier, qd_ScanFolder: a drive's top-level folders recorded
// under a scheme name (ScheemeName, as the suite spells it), each with its size and tick.

#include "common/result.h"

#include <QSqlDatabase>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace quenda {

// The scheme names, each once, alphabetically.
Result<QStringList> folderSchemeNames(QSqlDatabase &db);
// The FolderPath of every row of the scheme whose tick was saved, by FolderPath; paths are
// stored in the database form of src/fs/native_path.h and come back as file names.
Result<QStringList> tickedSchemeFolders(QSqlDatabase &db, const QString &scheme);

} // namespace quenda

// --- The folder copier's own statements.

namespace quenda {

// One recorded folder; paths and names come back as file names (see native_path.h).
struct SchemeFolderRow {
    QString path;
    QString name;
    std::optional<qint64> size; // empty when the folder could not be read at all
    bool ticked = false;
    QString scheme;
};

enum class SchemeRows { All, Ticked };

// The scheme's rows by FolderPath; with Ticked only those whose tick was saved.
Result<std::vector<SchemeFolderRow>> schemeFolderRows(QSqlDatabase &db, const QString &scheme,
                                                      SchemeRows which = SchemeRows::All);
// Removes the scheme's rows; the other schemes stay.
Status deleteSchemeFolders(QSqlDatabase &db, const QString &scheme);
// Empties the table for every scheme.
Status deleteAllSchemeFolders(QSqlDatabase &db);
// Adds one row under row.scheme.
Status addSchemeFolder(QSqlDatabase &db, const SchemeFolderRow &row);
// Stores each (FolderPath, ticked) pair for the rows of the scheme, in one transaction; a path
// the scheme does not hold changes nothing. Returns the number of rows changed.
Result<int> saveSchemeTicks(QSqlDatabase &db, const QString &scheme,
                            const std::vector<std::pair<QString, bool>> &ticks);

} // namespace quenda
