#include "db/mapping_schemes.h"

#include "db/database.h"

#include <QSqlQuery>

namespace quenda {

Result<QStringList> mappingSchemeNames(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Select SchemeName from qd_mapfields where SchemeName is not null "
                               "group by SchemeName order by min(rowid)")))
        return sqlError(q);
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

} // namespace quenda
