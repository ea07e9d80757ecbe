#pragma once
// The folder schemes of the folder copier, qd_ScanFolder: a drive's top-level folders recorded
// under a scheme name (ScheemeName, as the suite spells it), each with its size and tick.

#include "common/result.h"

#include <QSqlDatabase>
#include <QStringList>

namespace quenda {

// The scheme names, each once, alphabetically.
Result<QStringList> folderSchemeNames(QSqlDatabase &db);
// The FolderPath of every row of the scheme whose tick was saved, by FolderPath; paths are
// stored in the database form of src/fs/native_path.h and come back as file names.
Result<QStringList> tickedSchemeFolders(QSqlDatabase &db, const QString &scheme);

} // namespace quenda
