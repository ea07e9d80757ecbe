#include "db/scans.h"

#include "db/database.h"
#include "fs/native_path.h"

#include <QSqlQuery>

namespace quenda {

namespace {

QString listQuery(ScanTable table, const QString &columns)
{
    return table == ScanTable::Documents
               ? QStringLiteral("Select %1 from Quenda_IpodScan order by Application").arg(columns)
               : QStringLiteral("Select %1 from Quenda_IpodScanedtxt").arg(columns);
}

QString insertStatement(ScanTable table)
{
    // Both tables share the columns; the converted-notes insert names its table in its own case.
    return QStringLiteral("Insert Into %1(Application,Path,Type,size,[Date]) values(?,?,?,?,?)")
        .arg(table == ScanTable::Documents ? QStringLiteral("Quenda_IpodScan")
                                           : QStringLiteral("Quenda_IpodScanedTxt"));
}

} // namespace

QString scanTableName(ScanTable table)
{
    return table == ScanTable::Documents ? QStringLiteral("Quenda_IpodScan")
                                         : QStringLiteral("Quenda_IpodScanedtxt");
}

ScanTableWriter::ScanTableWriter(QSqlDatabase &db, ScanTable table, JobControl &control,
                                 int rowsPerBatch)
    : m_table(table), m_writer(db, insertStatement(table), control, rowsPerBatch)
{
}

Status ScanTableWriter::clear()
{
    return m_writer.execInBatch(QStringLiteral("Delete from %1").arg(scanTableName(m_table)));
}

bool ScanTableWriter::add(const ScanRow &row)
{
    // Names that are not valid UTF-8 keep their bytes only in the database form.
    return m_writer.add(
        {toDatabaseText(row.application), toDatabaseText(row.path), row.type, row.size, row.date},
        row.path);
}

Result<std::vector<QStringList>> scanListRows(QSqlDatabase &db, ScanTable table)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(listQuery(table, QStringLiteral("Application,Path,Type"))))
        return sqlError(q);
    std::vector<QStringList> rows = readRows(q);
    for (QStringList &row : rows)
        for (int c = 0; c < 2 && c < row.size(); ++c)
            row[c] = fromDatabaseText(row[c]);
    return rows;
}

Result<QString> recordedDocumentType(QSqlDatabase &db, const QString &path)
{
    QSqlQuery q(db);
    if (Status s = execBound(q, QStringLiteral("Select Type from Quenda_IpodScan where Path=?"),
                             {toDatabaseText(path)});
        !s)
        return s.error();
    return q.next() ? q.value(0).toString() : QString();
}

Result<QStringList> scannedPaths(QSqlDatabase &db, ScanTable table)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(listQuery(table, QStringLiteral("Path"))))
        return sqlError(q);
    QStringList paths;
    while (q.next())
        paths << fromDatabaseText(q.value(0).toString());
    return paths;
}

} // namespace quenda
