#pragma once
// What both contact windows ask of the organizer database beside their own lists: the help
// text of their buttons and the card version last chosen, which their card version box reads
// and keeps. The session owns the window's one connection, so neither the window nor the box
// ever holds a database.

#include "common/result.h"
#include "contacts/export/vcard_writer.h"
#include "db/database.h"

#include <QString>

namespace quenda {

class ContactSession {
public:
    explicit ContactSession(const QString &databasePath);

    // The help text stored under code; "" when there is none or it cannot be read.
    QString helpText(const QString &code);
    Result<CardVersion> rememberedCardVersion();
    Status rememberCardVersion(CardVersion version);

protected:
    Connection m_connection;
};

} // namespace quenda
