#pragma once
// The document scan of the notes window: every file found is recorded into one of its two
// tables, through one connection and batched commits, so a large tree costs one commit per few
// thousand files and a scan that is stopped keeps what it committed.

#include "db/scans.h"
#include "jobs/job_control.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

inline constexpr const char *kDocumentMasks = "*.rtf;*.txt;";
inline constexpr const char *kNoteMasks = "*.txt;";

// The count label as the user reads it: "There are 12 RTF & TXT Files".
QString documentCountText(int count);

// "Jan-05-2024" with the locale's month abbreviations; remembers the dates it has formatted.
class NoteDateFormatter {
public:
    explicit NoteDateFormatter(const QLocale &locale = QLocale()) : m_locale(locale) {}
    QString format(QDate date);

private:
    QLocale m_locale;
    QHash<qint64, QString> m_cache;
};

// Size and creation date (the last change where the file system keeps no birth time).
ScanRow describeDocument(const QString &fullPath, NoteDateFormatter &dates);

// One line of the documents or notes list.
struct NoteListRow {
    QString application; // file name with extension
    QString path;
    // The size in bytes after a scan; the recorded type when the list is loaded from its table,
    // which keeps no size for the list.
    QString detail;
    QString date;
};

// The list line of a recorded file: blank when the path holds none of the document tokens.
NoteListRow scanListRow(const ScanRow &row);
// The list lines of a table as it is loaded at window start.
std::vector<NoteListRow> storedListRows(const std::vector<ScanRow> &rows);

struct ScanOutcome {
    int found = 0;                 // files the search found
    std::vector<NoteListRow> rows; // one per file recorded, in the search's order
};

// Empties the table, then records every file under folder (sub-folders included) whose name
// matches one of the masks, in the search's order. Progress counts the files found while
// searching, then the files recorded; a cancel stops after the file at hand. Unreadable
// folders and rows the database refused are reported as failures.
ScanOutcome scanIntoTable(QSqlDatabase &db, const QString &folder, const QString &masks,
                          ScanTable table, JobControl &control);

// The scan the window and the command line run: its own connection, the document masks.
ScanOutcome runDocumentScan(const QString &databasePath, const QString &folder,
                            JobControl &control);

} // namespace quenda
