#pragma once
// The few UDisks2 calls the player needs, over the system bus (or any bus a test hands in):
// the mounted file systems with their labels and drives, unmount and power off.

#include "common/result.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

inline constexpr const char *kUDisksService = "org.freedesktop.UDisks2";
inline constexpr const char *kUDisksPath = "/org/freedesktop/UDisks2";

struct UDisksFilesystem {
    QString blockObject;
    QString driveObject; // "/" when the block belongs to no drive
    QString device;      // /dev/sdb1
    QString label;
    QStringList mountPoints;
    bool readOnly = false;
    qint64 blockSize = 0;
    QString driveModel;
    qint64 driveSize = 0;
};

// Error codes of the calls below, for callers that tell the cases apart.
enum UDisksErrorCode : int {
    kUDisksUnavailable = 1, // no UDisks2 on this bus
    kUDisksBusy = 2,        // the file system is in use
    kUDisksFailed = 3,
};

class UDisksClient {
public:
    explicit UDisksClient(QDBusConnection bus);
    // The system bus.
    static UDisksClient system();

    QDBusConnection bus() const { return m_bus; }
    // Every block with a file system, mounted or not.
    Result<std::vector<UDisksFilesystem>> filesystems() const;
    Status unmount(const QString &blockObject) const;
    Status powerOff(const QString &driveObject) const;

private:
    QDBusConnection m_bus;
};

} // namespace quenda
