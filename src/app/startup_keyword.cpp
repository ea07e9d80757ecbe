#include "app/startup_keyword.h"

#include "db/setup.h"

namespace quenda {

StartupKeywordStore::StartupKeywordStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::None)
{
}

Result<QString> StartupKeywordStore::read()
{
    if (!m_connection.isOpen())
        return m_connection.status().error();
    return readStartupKeyword(m_connection.db());
}

Status StartupKeywordStore::clear()
{
    if (!m_connection.isOpen())
        return m_connection.status();
    return clearStartupKeyword(m_connection.db());
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
