#pragma once
// The recorded picture folders as the pictures window lists them, on a connection of the
// window's own; a scan writes on a connection of its job. A connection that could not be
// opened answers with its reason.

#include "common/result.h"
#include "db/database.h"
#include "db/picture_folders.h"

#include <QString>

#include <vector>

namespace quenda {

class PictureFolderStore {
public:
    explicit PictureFolderStore(const QString &databasePath);

    Result<std::vector<PictureFolderRow>> rows();

private:
    Connection m_connection;
};

} // namespace quenda
