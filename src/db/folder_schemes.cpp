#include "db/folder_schemes.h"

#include "db/database.h"
#include "fs/native_path.h"

#include <QSqlQuery>

namespace quenda {

Result<QStringList> folderSchemeNames(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Select distinct ScheemeName from qd_ScanFolder "
                               "where ScheemeName is not null order by ScheemeName")))
        return sqlError(q);
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

Result<QStringList> tickedSchemeFolders(QSqlDatabase &db, const QString &scheme)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!execBound(q,
                   QStringLiteral("Select FolderPath from qd_ScanFolder where ScheemeName=? and "
                                  "SelectFolder<>0 order by FolderPath"),
                   {scheme}))
        return sqlError(q);
    QStringList paths;
    while (q.next())
        paths << fromDatabaseText(q.value(0).toString());
    return paths;
}

} // namespace quenda

// --- The folder copier's own statements.

namespace quenda {

Result<std::vector<SchemeFolderRow>> schemeFolderRows(QSqlDatabase &db, const QString &scheme,
                                                      SchemeRows which)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString sql =
        which == SchemeRows::Ticked
            ? QStringLiteral("Select FolderPath,FolderName,FolderSize,SelectFolder,ScheemeName "
                             "from qd_ScanFolder where ScheemeName=? and SelectFolder<>0 "
                             "order by FolderPath")
            : QStringLiteral("Select FolderPath,FolderName,FolderSize,SelectFolder,ScheemeName "
                             "from qd_ScanFolder where ScheemeName=? order by FolderPath");
    if (!execBound(q, sql, {scheme}))
        return sqlError(q);
    std::vector<SchemeFolderRow> rows;
    while (q.next()) {
        SchemeFolderRow row;
        row.path = fromDatabaseText(q.value(0).toString());
        row.name = fromDatabaseText(q.value(1).toString());
        if (!q.value(2).isNull())
            row.size = q.value(2).toLongLong();
        row.ticked = q.value(3).toLongLong() != 0;
        row.scheme = q.value(4).toString();
        rows.push_back(std::move(row));
    }
    return rows;
}

Status deleteSchemeFolders(QSqlDatabase &db, const QString &scheme)
{
    return execBound(db, QStringLiteral("Delete from qd_ScanFolder where ScheemeName=?"), {scheme});
}

Status deleteAllSchemeFolders(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Delete from qd_ScanFolder")))
        return sqlError(q);
    return {};
}

Status addSchemeFolder(QSqlDatabase &db, const SchemeFolderRow &row)
{
    // The 64-bit size goes in as a whole number: totals past 2 GiB must survive.
    return execBound(db,
                     QStringLiteral("Insert into qd_ScanFolder(FolderPath,FolderName,FolderSize,"
                                    "SelectFolder,ScheemeName) values(?,?,?,?,?)"),
                     {toDatabaseText(row.path), toDatabaseText(row.name),
                      row.size ? QVariant(*row.size) : QVariant(QMetaType(QMetaType::LongLong)),
                      row.ticked ? 1 : 0, row.scheme});
}

Result<int> saveSchemeTicks(QSqlDatabase &db, const QString &scheme,
                            const std::vector<std::pair<QString, bool>> &ticks)
{
    int changed = 0;
    const Status saved = inTransaction(db, [&]() -> Status {
        QSqlQuery q(db);
        if (!q.prepare(QStringLiteral("update qd_ScanFolder set SelectFolder = ? "
                                      "where FolderPath = ? COLLATE BINARY and ScheemeName = ?")))
            return sqlError(q);
        // Paths compare exactly: "Music" and "music" are two folders on Linux.
        for (const auto &[path, ticked] : ticks) {
            q.bindValue(0, ticked ? 1 : 0);
            q.bindValue(1, toDatabaseText(path));
            q.bindValue(2, scheme);
            if (!q.exec())
                return sqlError(q);
            changed += q.numRowsAffected();
        }
        return {};
    });
    if (!saved)
        return saved.error();
    return changed;
}

} // namespace quenda
