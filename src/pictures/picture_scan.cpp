#include "pictures/picture_scan.h"

#include "db/database.h"
#include "fs/tree_scan.h"
#include "pictures/picture_names.h"

namespace quenda {

PictureScanOutcome scanPictureFolders(QSqlDatabase &db, const QString &folder, JobControl &control)
{
    PictureScanOutcome outcome;
    outcome.folderPath = recordedFolderPath(folder);
    PictureFolderWriter writer(db, control);
    if (Status ready = writer.status(); !ready) {
        control.abort(ready.message());
        return outcome;
    }
    if (Status cleared = writer.clear(); !cleared) {
        control.abort(
            QStringLiteral("The table quenda_Ipod cannot be emptied: %1").arg(cleared.message()));
        return outcome;
    }

    ScanOptions options;
    options.files = false;
    options.folders = true;
    options.maxDepth = kPictureLevels - 1;
    options.order = ScanOrder::Natural;
    PictureFolderRow row{outcome.folderPath, {}};
    const Result<ScanSummary> walked =
        scanTree(outcome.folderPath, options, control, [&](const ScanEntry &entry) {
            // The walk gives a folder before its sub-folders, so the names above this one are
            // still those of its ancestors.
            row.names.resize(entry.depth);
            row.names.append(entry.name());
            writer.add(row, entry.path());
            return true;
        });
    if (!walked) {
        // The delete is rolled back with the writer: the last tree stays recorded.
        control.abort(walked.message());
        return outcome;
    }
    (void)writer.finish(); // a failed commit reports each of its rows
    outcome.recorded = writer.committed();
    return outcome;
}

PictureScanOutcome runPictureScan(const QString &databasePath, const QString &folder,
                                  JobControl &control)
{
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return {recordedFolderPath(folder), 0};
    }
    return scanPictureFolders(connection.db(), folder, control);
}

} // namespace quenda
