#pragma once
// Recording the sub-folders of a chosen picture folder, four levels deep, into quenda_Ipod: a
// folder before its own sub-folders, brothers in natural order ("Day 2" before "Day 10"), so
// the same tree gives the same rows on every run. Links are not followed, so a link loop
// cannot trap the scan; a folder that cannot be read keeps its own row and is reported.

#include "db/picture_folders.h"
#include "jobs/job_control.h"

#include <QSqlDatabase>
#include <QString>

namespace quenda {

inline constexpr int kPictureLevels = 4;

struct PictureScanOutcome {
    QString folderPath; // the chosen folder as recorded
    qint64 recorded = 0;
};

// Replaces the rows of the table by the tree under folder. A folder that cannot be read at all
// stops the job and leaves the table as it was; a cancel keeps the rows recorded so far.
PictureScanOutcome scanPictureFolders(QSqlDatabase &db, const QString &folder, JobControl &control);

// The same through a connection of its own, for a worker thread or the command line.
PictureScanOutcome runPictureScan(const QString &databasePath, const QString &folder,
                                  JobControl &control);

} // namespace quenda
