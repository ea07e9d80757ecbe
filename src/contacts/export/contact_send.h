#pragma once
// Sending every contact to the device: home, work and combined cards for each listed name.

#include "contacts/export/vcard_writer.h"

#include <QSqlDatabase>
#include <QStringList>

#include <functional>

namespace quenda {

// The names of the "Send Ipod" list, in the order the database gives them; nullopt with the
// driver's text when the query fails.
std::optional<QStringList> contactNames(QSqlDatabase db, QString *error = nullptr);

// For each name, the first contact holding exactly that name gets its home, work and combined
// cards in folder; a name no contact holds is passed over. progress is told how many names are
// done, so a window can keep itself responsive.
CardResult sendContacts(QSqlDatabase db, const QStringList &names, const QString &folder,
                        const std::function<void(int done)> &progress = {});

} // namespace quenda
