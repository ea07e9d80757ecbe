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
