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

// ---- The file copier's launcher-button menu ----------------------------------------------------

namespace quenda {

namespace {

LauncherButton buttonOf(const QSqlQuery &q)
{
    return LauncherButton{q.value(0).toInt(), q.value(1).toInt() != 0, q.value(2).toString(),
                          q.value(3).toString(), q.value(4).toString()};
}

const QString kButtonColumns = QStringLiteral("button_id, VISIBLE, Title, Application, Type");

} // namespace

Result<std::optional<LauncherButton>> launcherButton(QSqlDatabase &db, int id)
{
    QSqlQuery q(db);
    if (Status s = execBound(
            q,
            QStringLiteral("Select %1 from ButtonLauncher where button_id = ?").arg(kButtonColumns),
            {id});
        !s)
        return s.error();
    std::optional<LauncherButton> button;
    if (q.next())
        button = buttonOf(q);
    return button;
}

Result<std::vector<LauncherButton>> visibleLauncherButtons(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(
            QStringLiteral("Select %1 from ButtonLauncher where VISIBLE <> 0 order by button_id")
                .arg(kButtonColumns)))
        return sqlError(q);
    std::vector<LauncherButton> buttons;
    while (q.next())
        buttons.push_back(buttonOf(q));
    return buttons;
}

Status freeLauncherButton(QSqlDatabase &db, int id)
{
    return execBound(db,
                     QStringLiteral("update buttonlauncher set VISIBLE=0,Title='',Application='',"
                                    "BGPIC='',COLOUR=? where button_id=?"),
                     {QString::fromLatin1(kButtonFaceColour), id});
}

} // namespace quenda
