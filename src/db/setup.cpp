#include "db/setup.h"

#include "db/database.h"

#include <QSqlQuery>

namespace quenda {

namespace {

struct HelpText {
    const char *code;
    const char *text;
};

const HelpText kHelpTexts[] = {
    {"LS0017",
     "Import contacts from another database, a delimited text file or a dBASE/FoxPro table. "
     "Pick the source on Step 1, match its fields to the contact fields on Step 2 (save the "
     "matching as a scheme to reuse it), check the preview, then import. The tab Send Ipod "
     "writes every contact as vCard files into the Ipod folder on your Desktop."},
    {"LS0027",
     "Narrow the list by category, sub-category and priority. Double-click a contact, or "
     "Ctrl+click it, to mark or unmark it; Ctrl+A marks all. View Selected shows the marked "
     "contacts alone. Send to Desktop writes one vCard file per marked contact into the Ipod "
     "folder on your Desktop, ready to copy to the device."},
    {"UTL0038",
     "Choose how the copied files are arranged: by file type, by year or month of creation, "
     "or a combination. Pick the destination folder, then press Create folder and copy file; "
     "the ticked files are copied into a File Copier folder built that way."},
};

Result<bool> isEmpty(QSqlDatabase &db, const QString &table)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1)").arg(table)) || !q.next())
        return sqlError(q);
    return q.value(0).toInt() == 0;
}

} // namespace

Result<QString> readStartupKeyword(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("select * from QD_SETUP")))
        return sqlError(q);
    if (!q.next())
        return fail(QStringLiteral("The table QD_SETUP holds no row."));
    const QVariant key = q.value(QStringLiteral("Key"));
    return key.isNull() ? QString() : key.toString().toLower();
}

Status clearStartupKeyword(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Update qd_setup set key=''")))
        return sqlError(q);
    return {};
}

Status writeStartupKeyword(QSqlDatabase &db, const QString &keyword)
{
    return execBound(db, QStringLiteral("Update qd_setup set key=?"), {keyword});
}

Result<QString> tooltipText(QSqlDatabase &db, const QString &code)
{
    QSqlQuery q(db);
    if (Status s = execBound(q, QStringLiteral("Select * from qd_tooltip where Code=?"), {code});
        !s)
        return s.error();
    return q.next() ? q.value(QStringLiteral("Tooltip")).toString() : QString();
}

Status addSetupRowWhenMissing(QSqlDatabase &db)
{
    const Result<bool> empty = isEmpty(db, QStringLiteral("QD_SETUP"));
    if (!empty)
        return empty.error();
    if (!*empty)
        return {};
    return execBound(db, QStringLiteral("INSERT INTO QD_SETUP (Key) VALUES (NULL)"), {});
}

Status addHelpTextsWhenMissing(QSqlDatabase &db)
{
    const Result<bool> empty = isEmpty(db, QStringLiteral("qd_tooltip"));
    if (!empty)
        return empty.error();
    if (!*empty)
        return {};
    for (const HelpText &h : kHelpTexts) {
        if (Status s = execBound(
                db, QStringLiteral("INSERT INTO qd_tooltip (Code, Tooltip) VALUES (?, ?)"),
                {QString::fromLatin1(h.code), QString::fromUtf8(h.text)});
            !s)
            return s;
    }
    return {};
}

} // namespace quenda

// ---- Where each window was last shown ----------------------------------------------------------

namespace quenda {

Result<QByteArray> windowPlace(QSqlDatabase &db, const QString &window)
{
    QSqlQuery q(db);
    if (Status s =
            execBound(q, QStringLiteral("Select Geometry from qd_WindowPlace where WindowName = ?"),
                      {window});
        !s)
        return s.error();
    return q.next() ? q.value(0).toByteArray() : QByteArray();
}

Status saveWindowPlace(QSqlDatabase &db, const QString &window, const QByteArray &geometry)
{
    return execBound(
        db,
        QStringLiteral(
            "Insert or replace into qd_WindowPlace (WindowName, Geometry) values (?, ?)"),
        {window, geometry});
}

} // namespace quenda
