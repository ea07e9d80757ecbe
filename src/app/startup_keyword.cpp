#include "app/startup_keyword.h"

#include "db/setup.h"

namespace quenda {

StartupKeywordStore::StartupKeywordStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::None)
{
}

Result<QString> StartupKeywordStore::read()
{
    return m_connection.ask<QString>([&](QSqlDatabase &db) { return readStartupKeyword(db); });
}

Status StartupKeywordStore::clear()
{
    return m_connection.ask<void>([&](QSqlDatabase &db) { return clearStartupKeyword(db); });
}

QString takeStartupKeyword(const QString &databasePath, JobControl &control)
{
    Connection connection(databasePath, BusyWait::Long);
    const Result<QString> keyword = connection.isOpen()
                                        ? readStartupKeyword(connection.db())
                                        : Result<QString>(connection.status().error());
    if (!keyword) {
        control.abort(keyword.message());
        return QString();
    }
    if (Status cleared = clearStartupKeyword(connection.db()); !cleared)
        control.abort(cleared.message());
    return *keyword;
}

} // namespace quenda
