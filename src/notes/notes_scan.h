#pragma once
// The document scan of the notes window: every file found is recorded into one of its two
// tables. One connection serves the whole scan; rows are committed in batches, so a large tree
// costs one commit per few thousand files and an interrupted scan keeps what it committed.

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>

namespace quenda {

enum class ScanTable { Documents, Notes }; // Quenda_IpodScan, Quenda_IpodScanedtxt

inline constexpr const char *kDocumentMasks = "*.rtf;*.txt;";
inline constexpr const char *kNoteMasks = "*.txt;";

QString scanTableName(ScanTable table);

// The count label as the user reads it: "There are 12 RTF & TXT Files".
QString documentCountText(int count);

// One row of either table, every value as the text that is stored.
struct ScanEntry {
    QString application; // file name with extension
    QString path;
    QString type; // type token
    QString size; // bytes, decimal; "" when unreadable
    QString date; // creation date "MMM-dd-yyyy"; "" when unreadable
};

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
ScanEntry describeDocument(const QString &fullPath, NoteDateFormatter &dates);

// Inserts rows through one prepared statement inside batched transactions.
class ScanRecorder {
public:
    ScanRecorder(QSqlDatabase &db, ScanTable table, int batchSize = 20000);
    ~ScanRecorder();
    ScanRecorder(const ScanRecorder &) = delete;
    ScanRecorder &operator=(const ScanRecorder &) = delete;

    bool clearTable();
    bool record(const ScanEntry &entry);
    // Commits what is pending; the recorder may go on recording afterwards.
    bool flush();
    int failures() const { return m_failures; }

private:
    void begin();

    QSqlDatabase &m_db;
    ScanTable m_table;
    QSqlQuery m_insert;
    int m_batchSize;
    int m_pending = 0;
    int m_failures = 0;
    bool m_inTransaction = false;
    bool m_prepared = false;
};

struct ScanProgress {
    std::function<void()> searching;                             // once per file the search meets
    std::function<void(int total)> started;                      // the search is done
    std::function<void(int number, const ScanEntry &)> recorded; // number counts from 1
};

struct ScanSummary {
    int found = 0;
    int failures = 0; // rows the database refused
};

// Empties the table, then records every file under folder (sub-folders included) whose name
// matches one of the masks, in the search's order.
ScanSummary scanIntoTable(QSqlDatabase &db, const QString &folder, const QString &masks,
                          ScanTable table, const ScanProgress &progress = {});

} // namespace quenda
