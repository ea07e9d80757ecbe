#include "db/launcher.h"

#include "db/database.h"
#include "fs/native_path.h"

#include <QSqlQuery>

namespace quenda {

Status addFreeLauncherButtonsWhenMissing(QSqlDatabase &db)
{
    QSqlQuery count(db);
    if (!count.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM ButtonLauncher)")) ||
        !count.next())
        return sqlError(count);
    if (count.value(0).toInt() != 0)
        return {};
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("INSERT INTO ButtonLauncher (button_id, VISIBLE, Title, "
                                       "Application, BGPIC, COLOUR, Type) "
                                       "VALUES (?, 0, '', '', '', '', '')")))
        return sqlError(insert);
    for (int id = 1; id <= kFreeLauncherButtons; ++id) {
        insert.bindValue(0, id);
        if (!insert.exec())
            return sqlError(insert);
    }
    return {};
}

Result<bool> hasFreeLauncherButton(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Select 1 from ButtonLauncher where visible = 0 limit 1")))
        return sqlError(q);
    return q.next();
}

} // namespace quenda

// --- The folder copier's launcher button.

namespace quenda {

Status setFirstLauncherButton(QSqlDatabase &db, const QString &title, const QString &application)
{
    QSqlQuery q(db);
    if (!execBound(q,
                   QStringLiteral("update buttonlauncher set title=?,APPLICATION=?,Type='A' "
                                  "where button_id=1"),
                   {toDatabaseText(title), toDatabaseText(application)}))
        return sqlError(q);
    if (q.numRowsAffected() < 1)
        return fail(QStringLiteral("The program launcher has no button 1."));
    return {};
}

} // namespace quenda
