#include "db/folder_schemes.h"

#include "db/database.h"

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

} // namespace quenda
