#include "contacts/export/export_session.h"

#include "db/setup.h"

namespace quenda {

ExportSession::ExportSession(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<std::vector<ContactListRow>> ExportSession::contacts(const ContactFilter &filter)
{
    return contactListRows(m_connection.db(), filter);
}

Result<std::vector<ContactListRow>> ExportSession::contactsByIds(const QList<qint64> &ids)
{
    return contactRowsByIds(m_connection.db(), ids);
}

Result<QStringList> ExportSession::categories()
{
    return contactCategories(m_connection.db());
}

Result<QStringList> ExportSession::subCategories(const QString &category)
{
    return contactSubCategories(m_connection.db(), category);
}

QString ExportSession::helpText(const QString &code)
{
    const Result<QString> help = tooltipText(m_connection.db(), code);
    return help ? *help : QString();
}

Result<CardVersion> ExportSession::rememberedCardVersion()
{
    return quenda::rememberedCardVersion(m_connection.db());
}

Status ExportSession::rememberCardVersion(CardVersion version)
{
    return quenda::rememberCardVersion(m_connection.db(), version);
}

} // namespace quenda
