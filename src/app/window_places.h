#pragma once
// Windows open where the user last left them: the geometry is kept in the organizer database
// under the window's name when it closes, and given back when it opens again.

#include <QString>

class QWidget;

namespace quenda {

// Restores window's last geometry (if one is kept) and saves it again when the window hides or
// closes. The database is never waited on: a locked database only means the default place.
void rememberWindowPlace(QWidget *window, const QString &name, const QString &databasePath);

// Buttons whose caption is only a sign ("?", "...") get a name a screen reader can say and a
// tip a mouse user can read; names and tips a window set itself are kept.
void nameSignButtons(QWidget *window);

} // namespace quenda
