#pragma once
// The recorded office files and the program launcher's buttons as the file copier's windows
// ask for them: each call is one short statement on a connection of the window's own (a scan
// or a copy works on a connection of its job). A connection that could not be opened answers
// every call with its reason.

#include "common/result.h"
#include "db/database.h"
#include "db/launcher.h"
#include "db/scans.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace quenda {

class OfficeFileStore {
public:
    explicit OfficeFileStore(const QString &databasePath);

    // The list rows of one tab in the given order, or of every file grouped by application.
    Result<std::vector<QStringList>> files(OfficeTab tab, OfficeOrder order);
    Result<std::vector<QStringList>> filesByApplication();
    // The paths whose files are ticked; empty when they cannot be read.
    QStringList tickedPaths();
    Status saveTicks(const std::vector<std::pair<QString, bool>> &states);
    Status deleteFile(const QString &path);
    Status deleteAll();

    Result<bool> hasFreeLauncherButton();
    Result<std::vector<LauncherButton>> launcherButtons();
    Result<std::optional<LauncherButton>> launcherButton(int id);
    Status freeLauncherButton(int id);

    // The help text stored under code; nullopt when there is none that can be read.
    std::optional<QString> helpText(const QString &code);

private:
    Connection m_connection;
};

} // namespace quenda
