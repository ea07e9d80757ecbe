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

// What a grid loads at window start: Application, Path, Type. The scanned documents come by
// Application; the converted notes in the order the database keeps them.
Result<std::vector<QStringList>> scanListRows(QSqlDatabase &db, ScanTable table);
// The Type recorded for a scanned document; "" when the path was not recorded.
Result<QString> recordedDocumentType(QSqlDatabase &db, const QString &path);
// The Path column of a table, in the order scanListRows gives.
Result<QStringList> scannedPaths(QSqlDatabase &db, ScanTable table);

} // namespace quenda
