#pragma once
// Sending every contact to the device: home, work and combined cards for each listed name.

#include "contacts/export/vcard_writer.h"
#include "jobs/job_control.h"

#include <QSqlDatabase>
#include <QStringList>

namespace quenda {

// For each name of the list, the first contact (lowest id) holding exactly that name gets its
// home, work and combined cards in folder; a name no contact holds is passed over. The list is
// the one contactNames() gives: the contacts are then read in one pass in the same order, and
// only a name that does not match its row (a twin, or a list older than the table) is looked
// up on its own. Progress counts the names; a cancel stops after the contact at hand.
// Returns the cards written.
int sendContacts(QSqlDatabase &db, const QStringList &names, const QString &folder,
                 JobControl &control, CardVersion version = CardVersion::V21);

// The send the window and the command line run, on a connection of its own.
int runContactSend(const QString &databasePath, const QStringList &names, const QString &folder,
                   JobControl &control, CardVersion version = CardVersion::V21);

} // namespace quenda
