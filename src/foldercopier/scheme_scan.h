#pragma once
// Recording a drive's top-level folders under a folder scheme: each folder becomes one row of
// qd_ScanFolder with its total size. Sizes take long on a large drive, so the scan runs as a
// job and commits each row as soon as its folder is measured: a cancelled scan keeps the rows
// it recorded.

#include "common/result.h"
#include "db/folder_schemes.h"
#include "fs/drives.h"
#include "jobs/job_control.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

// A folder or file the drive viewer lists: its name as shown, and the path it stands for.
struct ListedEntry {
    QString path;
    QString name;
};

// The folders directly under root (links to folders are not folders here), in natural name
// order. Fails when root cannot be read: a drive that is not ready.
Result<std::vector<ListedEntry>> topLevelFolders(const QString &root, JobControl &control);

// The files directly in folder, by natural name order; links count as files.
Result<std::vector<ListedEntry>> filesInFolder(const QString &folder, JobControl &control);

enum class SchemeScanMode {
    Replace, // Start: the scheme's rows are replaced, every new row unticked
    Refresh, // Refresh: the rows are replaced, a folder still there keeps its saved tick
};

struct SchemeScanOutcome {
    Status ready;                     // fails when root cannot be read: nothing was changed
    std::vector<ListedEntry> folders; // the drive viewer's folder list
    DriveInfo drive;                  // the drive holding root, for the drive pane
    std::vector<SchemeFolderRow> recorded;
    QStringList incompleteSizes; // folders whose size counts only what could be read
};

// The scan behind Start and Refresh, on a connection of its own. The scheme's rows are left
// alone when root is not ready. A folder that cannot be read at all is recorded without a
// size; unreadable parts of a folder are reported through control and listed in
// incompleteSizes. Sizes count other mounts inside a folder only with otherMounts. A fault of
// the database stops the scan through control.abort(). While sizes are computed, the control's
// parts are the folders found and its parts done the folders measured.
SchemeScanOutcome runSchemeScan(const QString &databasePath, const QString &root,
                                const QString &scheme, SchemeScanMode mode, JobControl &control,
                                bool otherMounts = false);

// The folder a scheme was recorded from: the parent of its first row's folder; empty for a
// scheme without rows.
QString schemeRoot(const std::vector<SchemeFolderRow> &rows);

} // namespace quenda
