#include "db/settings.h"

#include "db/database.h"

#include <QSqlQuery>

namespace quenda {

Result<QString> settingValue(QSqlDatabase &db, const QString &name)
{
    QSqlQuery q(db);
    if (Status s =
            execBound(q, QStringLiteral("Select Value from qd_Setting where Name = ?"), {name});
        !s)
        return s.error();
    return q.next() ? q.value(0).toString() : QString();
}

Status saveSetting(QSqlDatabase &db, const QString &name, const QString &value)
{
    return execBound(
        db, QStringLiteral("Insert or replace into qd_Setting (Name, Value) values (?, ?)"),
        {name, value});
}

} // namespace quenda
