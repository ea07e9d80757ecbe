#include "db/database.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace quenda {

namespace {

QAtomicInt g_connectionCounter;

// Waits this long for a writer that holds the database (the organizer suite) before giving up.
const QString kConnectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString locateDatabaseFile(const QString &programDir)
{
    const QDir dir(QDir::fromNativeSeparators(programDir));
    const QString wanted = QString::fromLatin1(kDatabaseFileName);
    if (QFileInfo::exists(dir.filePath(wanted)))
        return dir.filePath(wanted);
    QStringList matches;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            matches << name;
    }
    if (matches.isEmpty())
        return dir.filePath(wanted);
    matches.sort(); // more than one spelling: take a stable choice
    return dir.filePath(matches.first());
}

Connection::Connection(const QString &path)
    : m_name(QStringLiteral("quenda-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(kConnectOptions);
    if (!m_db.open())
        m_error = m_db.lastError().text();
}

Connection::~Connection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool ensureDatabase(const QString &path, QString *error)
{
    auto fail = [&](const QString &what) {
        if (error)
            *error = QStringLiteral("The organizer database %1 cannot be used: %2")
                         .arg(nativePath(path), what);
        return false;
    };

    const QFileInfo info(path);
    const bool existed = info.exists();
    if (existed && !info.isFile())
        return fail(QStringLiteral("it is not a file."));
    if (!existed && !QFileInfo(info.absolutePath()).isDir())
        return fail(
            QStringLiteral("its folder %1 does not exist.").arg(nativePath(info.absolutePath())));

    Connection connection(path);
    if (!connection.isOpen())
        return fail(connection.error());
    QSqlDatabase &db = connection.db();

    QString why;
    if (existed) {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                       "name = 'QD_SETUP' COLLATE NOCASE"))) {
            const QString text = probe.lastError().databaseText();
            return fail(text.isEmpty() ? probe.lastError().text() : text);
        }
        if (!probe.next())
            return fail(QStringLiteral("it has no table QD_SETUP."));
        probe.finish();
        QSqlQuery rows(db);
        if (!rows.exec(QStringLiteral("SELECT COUNT(*) FROM QD_SETUP")) || !rows.next())
            return fail(rows.lastError().text());
        if (rows.value(0).toInt() < 1)
            return fail(QStringLiteral("its table QD_SETUP holds no row."));
    }
    // The module's own tables may be missing from a database the suite made.
    if (!createSchema(db, &why))
        return fail(why);
    return true;
}

bool execBound(QSqlQuery &query, const QString &sql, std::initializer_list<QVariant> values,
               QString *error)
{
    if (!query.prepare(sql)) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    for (const QVariant &v : values)
        query.addBindValue(v);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    return true;
}

bool execBound(QSqlDatabase &db, const QString &sql, std::initializer_list<QVariant> values,
               QString *error)
{
    QSqlQuery query(db);
    return execBound(query, sql, values, error);
}

void appendQueryRows(QSqlQuery &query, int leadingCols, std::vector<QStringList> &rows)
{
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
}

QString readStartupKeyword(QSqlDatabase &db, bool *ok)
{
    QSqlQuery q(db);
    const bool ran = q.exec(QStringLiteral("select * from QD_SETUP")) && q.next();
    if (ok)
        *ok = ran;
    if (!ran)
        return QString();
    const QVariant key = q.value(QStringLiteral("Key"));
    return key.isNull() ? QString() : key.toString().toLower();
}

bool clearStartupKeyword(QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("Update qd_setup set key=''"));
}

bool writeStartupKeyword(QSqlDatabase &db, const QString &keyword)
{
    return execBound(db, QStringLiteral("Update qd_setup set key=?"), {keyword});
}

QString tooltipText(QSqlDatabase &db, const QString &code)
{
    QSqlQuery q(db);
    if (!execBound(q, QStringLiteral("Select * from qd_tooltip where Code=?"), {code}) || !q.next())
        return QString();
    return q.value(QStringLiteral("Tooltip")).toString();
}

} // namespace quenda
