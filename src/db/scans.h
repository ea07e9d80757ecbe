#pragma once
// The tables of found files: the notes window's scanned documents (Quenda_IpodScan) and
// converted notes (Quenda_IpodScanedtxt); the file copier's office files (qd_ScanFile,
// qd_ScanExe) and the picture folders (quenda_Ipod) keep their statements here as well.

#include "common/result.h"
#include "db/batched_writer.h"

#include <QSqlDatabase>
#include <QStringList>

#include <memory>
#include <vector>

namespace quenda {

enum class ScanTable { Documents, Notes }; // Quenda_IpodScan, Quenda_IpodScanedtxt

QString scanTableName(ScanTable table);

// One row of either table, every value as the text that is stored.
struct ScanRow {
    QString application; // file name with extension
    QString path;
    QString type; // type token
    QString size; // bytes, decimal; "" when unreadable
    QString date; // creation date "MMM-dd-yyyy"; "" when unreadable
};

// Empties a table and fills it again in batches; rows are labelled by their path in failures.
class ScanTableWriter {
public:
    ScanTableWriter(QSqlDatabase &db, ScanTable table, JobControl &control,
                    int rowsPerBatch = BatchedWriter::kRowsPerBatch);
    Status status() const { return m_writer.status(); }
    // The delete is committed together with the first batch.
    Status clear();
    bool add(const ScanRow &row);
    Status finish() { return m_writer.finish(); }
    qint64 committed() const { return m_writer.committed(); }

private:
    ScanTable m_table;
    BatchedWriter m_writer;
};

// What a list loads at window start: Application, Path and Type of each row (size and date stay
// empty). The scanned documents come by Application; the converted notes in the order the
// database keeps them.
Result<std::vector<ScanRow>> scanListRows(QSqlDatabase &db, ScanTable table);
// The Type recorded for a scanned document; "" when the path was not recorded.
Result<QString> recordedDocumentType(QSqlDatabase &db, const QString &path);
// The Path column of a table, in the order scanListRows gives.
Result<QStringList> scannedPaths(QSqlDatabase &db, ScanTable table);

} // namespace quenda

// ---- The file copier's office files: qd_ScanFile ----------------------------------------------
// Paths and names are bound in the database form of fs/native_path.h and come back as file
// names. A path or a name is compared exactly, byte for byte: two files whose names differ only
// in letter case are two files here.

#include <QSqlQuery>

#include <optional>
#include <utility>

namespace quenda {

// The type tabs of the file list, in the order the window shows them.
enum class OfficeTab { All, Word, Excel, Access, Picture, Ppt, Acrobat };
// How a list is ordered: as recorded, or by one of the sort tools.
enum class OfficeOrder { Recorded, ByName, ByType, BySize };

// One office file as the scan records it; every value as the text that is stored.
struct OfficeFileRow {
    QString application; // file name with extension
    QString path;
    QString type; // type token
    QString size; // bytes, decimal
    QString date; // creation date "MMM-dd-yyyy" in the recording locale
};

// Records office files in batches, rows labelled by their path in failures.
class OfficeFileWriter {
public:
    OfficeFileWriter(QSqlDatabase &db, JobControl &control,
                     int rowsPerBatch = BatchedWriter::kRowsPerBatch);
    Status status() const { return m_writer.status(); }
    // Empties the table; the delete is committed together with the first batch.
    Status clear();
    bool add(const OfficeFileRow &row);
    Status finish() { return m_writer.finish(); }
    qint64 committed() const { return m_writer.committed(); }

private:
    BatchedWriter m_writer;
};

// The columns a list row holds, in this order.
enum OfficeListColumn { kOfficeApplication, kOfficePath, kOfficeSelect, kOfficeType, kOfficeSize };

// The rows of a type tab: Application, Path, SelectFile ("1" or "0"), Type, FileSize.
Result<std::vector<QStringList>> officeFileRows(QSqlDatabase &db, OfficeTab tab,
                                                OfficeOrder order = OfficeOrder::Recorded);
// Every row, the same columns, by Application.
Result<std::vector<QStringList>> officeFileRowsByApplication(QSqlDatabase &db);

// Every row of that file name takes the state.
Status setOfficeFileSelectedByName(QSqlDatabase &db, const QString &application, bool selected);
// Each path's rows take the state given with it, in order, in one transaction.
Status saveOfficeFileSelection(QSqlDatabase &db,
                               const std::vector<std::pair<QString, bool>> &states);
Status deleteOfficeFilesByPath(QSqlDatabase &db, const QString &path);
Status deleteAllOfficeFiles(QSqlDatabase &db);
// The paths of the rows saved as ticked, in the order they were recorded.
Result<QStringList> selectedOfficeFilePaths(QSqlDatabase &db);

// What the organised copy needs of a recorded file.
struct OfficeFileFacts {
    QString type;
    QString date; // as stored
};

// Reads the facts of one path after another through one prepared statement.
class OfficeFileFactsLookup {
public:
    explicit OfficeFileFactsLookup(QSqlDatabase &db);
    // Nothing when no row holds the path.
    Result<std::optional<OfficeFileFacts>> find(const QString &path);

private:
    QSqlQuery m_query;
    bool m_prepared = false;
};

} // namespace quenda
