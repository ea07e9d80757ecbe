#include "contacts/export/contact_session.h"

#include "db/setup.h"

namespace quenda {

ContactSession::ContactSession(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

QString ContactSession::helpText(const QString &code)
{
    const Result<QString> help = tooltipText(m_connection.db(), code);
    return help ? *help : QString();
}

Result<CardVersion> ContactSession::rememberedCardVersion()
{
    return quenda::rememberedCardVersion(m_connection.db());
}

Status ContactSession::rememberCardVersion(CardVersion version)
{
    return quenda::rememberCardVersion(m_connection.db(), version);
}

} // namespace quenda
