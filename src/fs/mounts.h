#pragma once
// Where one mount ends. A bind mount shares the device number of the file system it shows, so
// device numbers cannot tell that a walk has entered another mount; the mount id can.

#include <QString>
#include <QStringList>

#include <optional>

namespace quenda {

// The id of the mount that name (relative to folderFd; "" for folderFd itself) lies on; the
// mount point of another mount counts as that mount. Links are not followed. Nothing when the
// system cannot tell (kernels before 5.8) or name cannot be read.
std::optional<quint64> mountIdAt(int folderFd, const char *name);

// The mount points at folder or anywhere below it, as this process sees them, links in
// folder's path resolved. Empty when folder does not exist.
QStringList mountPointsWithin(const QString &folder);

} // namespace quenda
