#pragma once
// Ejecting a player: UDisks2 unmounts its file system, which writes out what the system still
// holds for it, then powers the drive off. Without UDisks2 the program cannot do it as a user,
// and says how to do it from the desktop.

#include "common/result.h"
#include "player/player_device.h"
#include "player/udisks.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quenda {

// The closing sentence on success. Errors carry a UDisksErrorCode: kUDisksBusy names the
// programs that keep it busy when they can be found; kUDisksUnavailable says how to eject from
// the desktop.
Result<QString> ejectPlayer(const Player &player, const std::optional<UDisksClient> &udisks);

// Programs with a working folder or an open file on the file system mounted at root, as
// "name (pid 123)"; only the processes this user may look at.
QStringList processesUsing(const QString &root);

// What to do instead when the program cannot eject the player itself.
QString desktopEjectHint(const Player &player);

} // namespace quenda
