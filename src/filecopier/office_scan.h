#pragma once
// The office file scan: the ticked folders are searched, sub-folders included, for documents,
// pictures and databases, and every file found becomes one qd_ScanFile row with its name,
// path, type token, size and creation date (the birth time where the file system keeps one,
// otherwise the last change). Rows are committed in batches, so a stopped scan keeps what it
// committed and a large tree costs one commit per few thousand files.

#include "jobs/job_control.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace quenda {

inline constexpr const char *kOfficeMasks =
    "*.doc;*.rtf;*.txt;*.xls;*.csv;*.mdb;*.dbf;*.jpg;*.bmp;*.ppt;*.pdf";

struct OfficeScanOutcome {
    qint64 found = 0;    // files the searches found
    qint64 recorded = 0; // rows the database kept
    QString lastFolder;  // the folder searched last
};

// Searches each folder in turn; a folder given twice, or one inside another, is searched again
// and its files recorded again. A search stays on the mount its folder is on (a bind mount of a
// folder inside itself would list its files twice) unless otherMounts. With clearFirst the
// table is emptied first, in the same commit as the first rows. A folder that cannot be read
// and a row the database refuses are reported through control; the scan goes on.
OfficeScanOutcome scanOfficeFiles(QSqlDatabase &db, const QStringList &folders, bool clearFirst,
                                  JobControl &control, const QLocale &locale = QLocale(),
                                  bool otherMounts = false);

// The same on a connection of its own, for a job or the command line.
OfficeScanOutcome runOfficeScan(const QString &databasePath, const QStringList &folders,
                                bool clearFirst, JobControl &control, bool otherMounts = false);

} // namespace quenda
