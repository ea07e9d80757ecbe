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

// ---- Saving and recalling a scheme.
namespace quenda {

namespace {
// A null text would be bound as NULL: the empty name is a name like any other.
QString notNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}
} // namespace

Result<std::vector<SchemeRow>> mappingSchemeRows(QSqlDatabase &db, const QString &name)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (Status s = execBound(q,
                             QStringLiteral("Select intRow, FiledName from qd_mapfields where "
                                            "schemename=? order by rowid"),
                             {notNull(name)});
        !s)
        return s.error();
    std::vector<SchemeRow> rows;
    while (q.next())
        rows.push_back({q.value(0).toInt(), q.value(1).toString()});
    return rows;
}

Status saveMappingScheme(QSqlDatabase &db, const QString &name, const QStringList &fieldsByRow)
{
    return inTransaction(db, [&]() -> Status {
        QSqlQuery q(db);
        if (Status s = execBound(q, QStringLiteral("Delete from Qd_mapfields where Schemename=?"),
                                 {notNull(name)});
            !s)
            return s;
        QSqlQuery insert(db);
        if (!insert.prepare(QStringLiteral(
                "Insert into Qd_mapfields (schemename, FiledName, intRow) values (?, ?, ?)")))
            return sqlError(insert);
        for (qsizetype r = 0; r < fieldsByRow.size(); ++r) {
            insert.bindValue(0, notNull(name));
            insert.bindValue(1, notNull(fieldsByRow[r]));
            insert.bindValue(2, static_cast<int>(r + 1));
            if (!insert.exec())
                return sqlError(insert);
        }
        return {};
    });
}

} // namespace quenda
