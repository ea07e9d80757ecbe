#include "db/database.h"

#include "db/schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace quenda {

namespace {

QAtomicInt g_connectionCounter;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString errorText(const QSqlError &error)
{
    // The database's own words ("database is locked") say more than Qt's wrapper around them.
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

} // namespace

Connection::Connection(const QString &path, BusyWait wait)
    : m_name(QStringLiteral("quenda-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    const int waitMs = wait == BusyWait::None ? 0 : wait == BusyWait::Short ? 500 : 5000;
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(waitMs));
    if (!m_db.open())
        m_error = errorText(m_db.lastError());
}

Connection::~Connection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

Status Connection::status() const
{
    if (isOpen())
        return {};
    return fail(QStringLiteral("The organizer database %1 cannot be opened: %2")
                    .arg(nativePath(m_db.databaseName()), m_error));
}

Error sqlError(const QSqlQuery &query)
{
    return fail(errorText(query.lastError()));
}

Error sqlError(const QSqlDatabase &db)
{
    return fail(errorText(db.lastError()));
}

Status ensureDatabase(const QString &path)
{
    auto unusable = [&](const QString &what) {
        return fail(QStringLiteral("The organizer database %1 cannot be used: %2")
                        .arg(nativePath(path), what));
    };

    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return unusable(QStringLiteral("it is a link to %1, which does not exist; no database is "
                                       "created through a link.")
                            .arg(nativePath(info.symLinkTarget())));
    // A file of no bytes is what a database deleted while in use leaves behind: it holds
    // nothing to lose and is made anew.
    const bool existed = info.exists() && !(info.isFile() && info.size() == 0);
    if (info.exists() && !info.isFile())
        return unusable(QStringLiteral("it is not a file."));
    if (!existed && !QFileInfo(info.absolutePath()).isDir())
        return unusable(
            QStringLiteral("its folder %1 does not exist.").arg(nativePath(info.absolutePath())));

    Connection connection(path);
    if (!connection.isOpen())
        return unusable(errorText(connection.db().lastError()));
    QSqlDatabase &db = connection.db();

    if (existed) {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                       "name = 'QD_SETUP' COLLATE NOCASE")))
            return unusable(sqlError(probe).message);
        // A file the program made holds its tables; an empty file is a new database.
        const bool hasSetup = probe.next();
        probe.finish();
        QSqlQuery tables(db);
        if (!tables.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !tables.next())
            return unusable(sqlError(tables).message);
        const bool empty = tables.value(0).toInt() == 0;
        tables.finish();
        if (!hasSetup && !empty)
            return unusable(QStringLiteral("it has no table QD_SETUP."));
        if (hasSetup) {
            QSqlQuery rows(db);
            if (!rows.exec(QStringLiteral("SELECT COUNT(*) FROM QD_SETUP")) || !rows.next())
                return unusable(sqlError(rows).message);
            if (rows.value(0).toInt() < 1)
                return unusable(QStringLiteral("its table QD_SETUP holds no row."));
        }
    }
    // The module's own tables may be missing from a database the suite made, and a database of
    // an earlier release is brought up to this one.
    if (const Status upgraded = upgradeSchema(db); !upgraded)
        return unusable(upgraded.message());
    return {};
}

Status execBound(QSqlQuery &query, const QString &sql, std::initializer_list<QVariant> values)
{
    if (!query.prepare(sql))
        return sqlError(query);
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec())
        return sqlError(query);
    return {};
}

Status execBound(QSqlQuery &query, const QString &sql, const QVariantList &values)
{
    if (!query.prepare(sql))
        return sqlError(query);
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec())
        return sqlError(query);
    return {};
}

Status execBound(QSqlDatabase &db, const QString &sql, std::initializer_list<QVariant> values)
{
    QSqlQuery query(db);
    return execBound(query, sql, values);
}

std::vector<QStringList> readRows(QSqlQuery &query, int leadingCols)
{
    std::vector<QStringList> rows;
    const int fields = query.record().count();
    while (query.next()) {
        QStringList cells;
        cells.reserve(leadingCols + fields);
        for (int c = 0; c < leadingCols; ++c)
            cells.append(QString());
        for (int f = 0; f < fields; ++f)
            cells.append(query.value(f).toString());
        rows.push_back(std::move(cells));
    }
    return rows;
}

Status inTransaction(QSqlDatabase &db, const std::function<Status()> &work)
{
    if (!db.transaction())
        return sqlError(db);
    Status done = work();
    if (!done) {
        db.rollback();
        return done;
    }
    if (!db.commit()) {
        const Error why = sqlError(db);
        db.rollback();
        return why;
    }
    return {};
}

} // namespace quenda
