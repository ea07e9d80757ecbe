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
