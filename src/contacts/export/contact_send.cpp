#include "contacts/export/contact_send.h"

#include <QSqlError>
#include <QSqlQuery>

namespace quenda {

std::optional<QStringList> contactNames(QSqlDatabase db, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("Select Name from cnt_main"))) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    QStringList names;
    while (q.next())
        names.append(q.value(0).toString());
    return names;
}

CardResult sendContacts(QSqlDatabase db, const QStringList &names, const QString &folder,
                        const std::function<void(int done)> &progress)
{
    CardResult result;
    // NAME compares without case, so the binary test keeps "Ann" and "ANN" (two files on
    // this file system) apart while the index still serves the lookup.
    QSqlQuery lookup(db);
    lookup.setForwardOnly(true);
    if (!lookup.prepare(QStringLiteral(
            "Select ID from cnt_main where NAME = ? and NAME = ? COLLATE BINARY limit 1"))) {
        result.error = lookup.lastError().text();
        return result;
    }
    VCardWriter writer(db);
    // Reads grouped in transactions take the file lock once per batch instead of four times
    // per contact; committing between batches lets the suite write meanwhile.
    constexpr int kNamesPerTransaction = 1000;
    bool inTransaction = db.transaction();
    int done = 0;
    for (const QString &name : names) {
        if (inTransaction && done > 0 && done % kNamesPerTransaction == 0) {
            if (!db.commit())
                db.rollback();
            inTransaction = db.transaction();
        }
        lookup.bindValue(0, name);
        lookup.bindValue(1, name);
        if (lookup.exec() && lookup.next()) {
            const QList<qint64> id{lookup.value(0).toLongLong()};
            lookup.finish();
            writer.write(CardKind::Home, id, folder, result);
            writer.write(CardKind::Work, id, folder, result);
            writer.write(CardKind::Combined, id, folder, result);
        }
        if (progress)
            progress(done + 1);
        ++done;
    }
    if (inTransaction && !db.commit())
        db.rollback();
    return result;
}

} // namespace quenda
