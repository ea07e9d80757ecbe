#include "db/scans.h"

#include "db/database.h"
#include "fs/native_path.h"

#include <QSqlError>
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

Result<std::vector<ScanRow>> scanListRows(QSqlDatabase &db, ScanTable table)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(listQuery(table, QStringLiteral("Application,Path,Type"))))
        return sqlError(q);
    std::vector<ScanRow> rows;
    while (q.next()) {
        ScanRow row;
        row.application = fromDatabaseText(q.value(0).toString());
        row.path = fromDatabaseText(q.value(1).toString());
        row.type = q.value(2).toString();
        rows.push_back(std::move(row));
    }
    if (q.lastError().isValid())
        return sqlError(q);
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

// ---- The file copier's office files: qd_ScanFile ----------------------------------------------

#include "fs/native_path.h"

namespace quenda {

namespace {

// The column is compared without regard to case; the second term keeps the match exact while
// the first lets the index find the rows.
const QString kExactPath = QStringLiteral("Path = ? and Path = ? COLLATE BINARY");
const QString kExactName = QStringLiteral("Application = ? and Application = ? COLLATE BINARY");

QString tabCondition(OfficeTab tab)
{
    switch (tab) {
    case OfficeTab::All:
        return QStringLiteral("type is not null");
    case OfficeTab::Word:
        return QStringLiteral("Type='DOC' or Type='rtf' or Type='txt'");
    case OfficeTab::Excel:
        return QStringLiteral("Type='xls' or Type='csv'");
    case OfficeTab::Access:
        return QStringLiteral("Type='mdb' or Type='dbf'");
    case OfficeTab::Picture:
        return QStringLiteral("Type='jpg' or Type='bmp'");
    case OfficeTab::Ppt:
        return QStringLiteral("Type='ppt'");
    case OfficeTab::Acrobat:
        return QStringLiteral("Type='pdf'");
    }
    return QStringLiteral("type is not null");
}

QString orderClause(OfficeOrder order)
{
    switch (order) {
    case OfficeOrder::Recorded:
        return QStringLiteral("rowid");
    case OfficeOrder::ByName:
        return QStringLiteral("Application, Path, rowid");
    case OfficeOrder::ByType:
        return QStringLiteral("Type, Application, Path, rowid");
    case OfficeOrder::BySize:
        // Sizes are stored as text: "900" must come before "10000".
        return QStringLiteral("CAST(FileSize AS INTEGER), Application, Path, rowid");
    }
    return QStringLiteral("rowid");
}

const QString kListColumns = QStringLiteral("Application,Path,SelectFile,Type,FileSize");

Result<std::vector<QStringList>> readOfficeRows(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        return sqlError(q);
    std::vector<QStringList> rows;
    while (q.next()) {
        rows.push_back({fromDatabaseText(q.value(0).toString()),
                        fromDatabaseText(q.value(1).toString()),
                        q.value(2).toInt() != 0 ? QStringLiteral("1") : QStringLiteral("0"),
                        fromDatabaseText(q.value(3).toString()), q.value(4).toString()});
    }
    return rows;
}

} // namespace

OfficeFileWriter::OfficeFileWriter(QSqlDatabase &db, JobControl &control, int rowsPerBatch)
    : m_writer(db,
               QStringLiteral("Insert Into qd_ScanFile(Application,Path,Type,FileSize,[Date]) "
                              "values(?,?,?,?,?)"),
               control, rowsPerBatch)
{
}

Status OfficeFileWriter::clear()
{
    return m_writer.execInBatch(QStringLiteral("Delete from qd_ScanFile"));
}

bool OfficeFileWriter::add(const OfficeFileRow &row)
{
    return m_writer.add({toDatabaseText(row.application), toDatabaseText(row.path),
                         toDatabaseText(row.type), row.size, row.date},
                        row.path);
}

Result<std::vector<QStringList>> officeFileRows(QSqlDatabase &db, OfficeTab tab, OfficeOrder order)
{
    return readOfficeRows(db, QStringLiteral("Select %1 from qd_ScanFile where %2 order by %3")
                                  .arg(kListColumns, tabCondition(tab), orderClause(order)));
}

Result<std::vector<QStringList>> officeFileRowsByApplication(QSqlDatabase &db)
{
    return readOfficeRows(
        db,
        QStringLiteral("Select %1 from qd_ScanFile order by application, rowid").arg(kListColumns));
}

Status setOfficeFileSelectedByName(QSqlDatabase &db, const QString &application, bool selected)
{
    const QString name = toDatabaseText(application);
    return execBound(db,
                     QStringLiteral("Update qd_ScanFile set SelectFile = ? where ") + kExactName,
                     {selected ? 1 : 0, name, name});
}

Status saveOfficeFileSelection(QSqlDatabase &db,
                               const std::vector<std::pair<QString, bool>> &states)
{
    return inTransaction(db, [&]() -> Status {
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("update qd_ScanFile set SelectFile = ? where ") + kExactPath))
            return sqlError(q);
        for (const auto &[path, selected] : states) {
            const QString stored = toDatabaseText(path);
            q.bindValue(0, selected ? 1 : 0);
            q.bindValue(1, stored);
            q.bindValue(2, stored);
            if (!q.exec())
                return sqlError(q);
        }
        return {};
    });
}

Status deleteOfficeFilesByPath(QSqlDatabase &db, const QString &path)
{
    const QString stored = toDatabaseText(path);
    return execBound(db, QStringLiteral("Delete from qd_ScanFile where ") + kExactPath,
                     {stored, stored});
}

Status deleteAllOfficeFiles(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Delete from qd_ScanFile")))
        return sqlError(q);
    return {};
}

Result<QStringList> selectedOfficeFilePaths(QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("Select Path from qd_ScanFile where SelectFile <> 0 order by rowid")))
        return sqlError(q);
    QStringList paths;
    while (q.next())
        paths << fromDatabaseText(q.value(0).toString());
    return paths;
}

OfficeFileFactsLookup::OfficeFileFactsLookup(QSqlDatabase &db) : m_query(db)
{
    m_prepared = m_query.prepare(QStringLiteral("Select Type, [Date] from qd_ScanFile where ") +
                                 kExactPath + QStringLiteral(" order by rowid limit 1"));
}

Result<std::optional<OfficeFileFacts>> OfficeFileFactsLookup::find(const QString &path)
{
    if (!m_prepared)
        return sqlError(m_query);
    const QString stored = toDatabaseText(path);
    m_query.bindValue(0, stored);
    m_query.bindValue(1, stored);
    if (!m_query.exec())
        return sqlError(m_query);
    std::optional<OfficeFileFacts> facts;
    if (m_query.next())
        facts = OfficeFileFacts{fromDatabaseText(m_query.value(0).toString()),
                                m_query.value(1).toString()};
    m_query.finish();
    return facts;
}

} // namespace quenda
