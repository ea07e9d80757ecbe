#pragma once
// The organizer database: one SQLite file in the program folder, named QUENDADATA.Dll under
// any letter case. Every window opens its own Connection; none is shared between windows.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <vector>

class QSqlQuery;

namespace quenda {

inline constexpr const char *kDatabaseFileName = "QUENDADATA.Dll";

// The existing file whose name matches under any letter case, else the default name in the
// program folder.
QString locateDatabaseFile(const QString &programDir);

// Creates the file with the full schema when it is missing, then checks that it is a usable
// organizer database with its setup row. Returns false with a sentence naming the file and the
// fault otherwise. A database locked by another writer is waited for a few seconds.
bool ensureDatabase(const QString &path, QString *error);

// Creates every table and index the program uses; safe on a database that has some already.
bool createSchema(QSqlDatabase &db, QString *error);

// An open connection under a name of its own, removed again when the object goes.
class Connection {
public:
    explicit Connection(const QString &path);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool isOpen() const { return m_db.isOpen(); }
    QString error() const { return m_error; }
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
    QString m_error;
};

// Prepares and runs a statement with its values bound in order. Returns false on failure with
// the driver's text in error.
bool execBound(QSqlQuery &query, const QString &sql, std::initializer_list<QVariant> values,
               QString *error = nullptr);
bool execBound(QSqlDatabase &db, const QString &sql, std::initializer_list<QVariant> values,
               QString *error = nullptr);

// Appends every remaining row of an executed query as text cells, after leadingCols empty
// cells (for a grid's fixed first column).
void appendQueryRows(QSqlQuery &query, int leadingCols, std::vector<QStringList> &rows);

// The start-up keyword the suite leaves in QD_SETUP.Key: lower-cased, "" for null.
QString readStartupKeyword(QSqlDatabase &db, bool *ok = nullptr);
bool clearStartupKeyword(QSqlDatabase &db);
bool writeStartupKeyword(QSqlDatabase &db, const QString &keyword);

// The help text stored under a code in qd_tooltip; "" when there is none.
QString tooltipText(QSqlDatabase &db, const QString &code);

} // namespace quenda
