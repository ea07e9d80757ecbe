#pragma once
// The folder schemes as the folder copier's window asks for them: each call is one short
// statement on a connection of the window's own (a scan writes on a connection of its job).
// A connection that could not be opened answers every call with its reason.

#include "common/result.h"
#include "db/database.h"
#include "db/folder_schemes.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace quenda {

class FolderSchemeStore {
public:
    explicit FolderSchemeStore(const QString &databasePath);

    Result<QStringList> names();
    Result<std::vector<SchemeFolderRow>> rows(const QString &scheme,
                                              SchemeRows which = SchemeRows::All);
    Result<int> saveTicks(const QString &scheme,
                          const std::vector<std::pair<QString, bool>> &ticks);
    Status deleteAll();
    // The folder the scheme was recorded from; empty for a scheme without rows or unreadable.
    QString recordedRoot(const QString &scheme);
    // Puts the folder on the first free button of the program launcher, under its name.
    Status putOnLauncher(const QString &folder);

private:
    Connection m_connection;
};

} // namespace quenda
