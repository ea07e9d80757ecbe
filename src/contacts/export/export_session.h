#pragma once
// What the contact export window asks of the organizer database while it is open: the
// contact list under a filter or for chosen ids, the categories to filter by, its help text
// and the card version last chosen. The window keeps one session and never touches the
// database itself; an export opens a connection of its own in its job.

#include "common/result.h"
#include "contacts/export/contact_session.h"
#include "db/contacts.h"
#include "db/database.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

class ExportSession : public ContactSession {
public:
    using ContactSession::ContactSession;

    Result<std::vector<ContactListRow>> contacts(const ContactFilter &filter);
    Result<std::vector<ContactListRow>> contactsByIds(const QList<qint64> &ids);
    Result<QStringList> categories();
    Result<QStringList> subCategories(const QString &category);
};

} // namespace quenda
