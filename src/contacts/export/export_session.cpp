#include "contacts/export/export_session.h"

namespace quenda {

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

} // namespace quenda
