#pragma once
// The organizer database: one SQLite file in the program folder, named QUENDADATA.Dll under
// any letter case. Every window opens its own Connection and every job opens one on its worker
// thread: a connection is used only on the thread that opened it. Statements live in the table
// family files beside this one (setup.h, contacts.h, scans.h, ...), never in windows.

#include "common/places.h"
#include "common/result.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <vector>

class QSqlQuery;

namespace quenda {

// How long a statement waits for another writer (the suite, or a job of this program) before
// it fails. The user-interface thread waits briefly or not at all; jobs and the command line
// wait long.
enum class BusyWait { None, Short, Long };

// Creates the file with the full schema when it is missing, checks that an existing file is an
// organizer database with its setup row, and upgrades its schema to this program's version.
// A failure names the file and the fault.
Status ensureDatabase(const QString &path);

// An open connection under a name of its own, removed again when the object goes.
class Connection {
public:
    explicit Connection(const QString &path, BusyWait wait = BusyWait::Long);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return m_db.isOpen(); }
    // Ok while open; otherwise the file and the driver's reason.
    Status status() const;
    QSqlDatabase &db() { return m_db; }
    // Runs call on the database; a connection that could not be opened answers with why, so a
    // window's store asks without checking first.
    template <class T, class F> Result<T> ask(F &&call)
    {
        if (!isOpen())
            return status().error();
        return call(m_db);
    }

private:
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
};

// The driver's sentence for the last failure of a query or a connection.
Error sqlError(const QSqlQuery &query);
Error sqlError(const QSqlDatabase &db);

// Prepares and runs a statement with its values bound in order.
Status execBound(QSqlQuery &query, const QString &sql, std::initializer_list<QVariant> values);
Status execBound(QSqlDatabase &db, const QString &sql, std::initializer_list<QVariant> values);
Status execBound(QSqlQuery &query, const QString &sql, const QVariantList &values);

// Every remaining row of an executed query as text cells, after leadingCols empty cells (a
// grid's fixed first column).
std::vector<QStringList> readRows(QSqlQuery &query, int leadingCols = 0);

// Runs work inside one transaction: committed when it succeeds, rolled back when it fails.
Status inTransaction(QSqlDatabase &db, const std::function<Status()> &work);

} // namespace quenda
