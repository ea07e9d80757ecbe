#pragma once
// The launcher buttons of ButtonLauncher, a table the organizer suite shares: rows are fixed
// button slots, hidden (VISIBLE 0) until the user puts a program or file on one.

#include "common/result.h"

#include <QSqlDatabase>

namespace quenda {

inline constexpr int kFreeLauncherButtons = 12;

// A new database gets the free, hidden button slots.
Status addFreeLauncherButtonsWhenMissing(QSqlDatabase &db);
// Whether a hidden slot is left for a new button.
Result<bool> hasFreeLauncherButton(QSqlDatabase &db);

} // namespace quenda

// --- The folder copier's launcher button.

namespace quenda {

// Puts a folder or program on launcher button 1 (title, what it starts, and the type "A" of a
// program started in a normal window); the button's visibility stays as the suite set it.
// Fails, naming the button, when the table has no row for it.
Status setFirstLauncherButton(QSqlDatabase &db, const QString &title, const QString &application);

} // namespace quenda

// ---- The file copier's launcher-button menu ----------------------------------------------------

#include <QString>

#include <optional>
#include <vector>

namespace quenda {

// The value of COLOUR for a button without a colour of its own: the system's button face.
inline constexpr const char *kButtonFaceColour = "-2147483633";

struct LauncherButton {
    int id = 0;
    bool visible = false;
    QString title;
    QString application; // the program or document the button starts
    QString type;        // "A": a program started in a normal window
};

// Nothing when no row has that id.
Result<std::optional<LauncherButton>> launcherButton(QSqlDatabase &db, int id);
// The buttons in use, by id.
Result<std::vector<LauncherButton>> visibleLauncherButtons(QSqlDatabase &db);
// Returns the button to the free state: hidden, no title, program or picture, button-face colour.
Status freeLauncherButton(QSqlDatabase &db, int id);

} // namespace quenda
