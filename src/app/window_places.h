#pragma once
// Windows open where the user last left them: the geometry is kept in the organizer database
// under the window's name when it closes, and given back when it opens again.

#include <QString>

class QObject;
class QWidget;

namespace quenda {

// Restores window's last geometry (if one is kept) and saves it again when the window hides or
// closes. The database is never waited on: a locked database only means the default place.
void rememberWindowPlace(QWidget *window, const QString &name, const QString &databasePath);

// Buttons whose caption is only a sign ("?", "...", "X") get a name a screen reader can say and a
// tip a mouse user can read; names and tips a window set itself are kept.
void nameSignButtons(QWidget *window);

// From now until owner goes, every window of the program (named Frm... or frm..., as the main
// window and every function window and dialog are) gets, the first time it is shown, its last
// place back, named sign buttons and access keys; windows opened from inside other windows
// included. Message boxes, file choosers and the splash keep Qt's own placing.
void prepareProgramWindows(QObject *owner, const QString &databasePath);

} // namespace quenda
