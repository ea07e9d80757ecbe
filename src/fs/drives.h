#pragma once
// The drives of the system: every mounted real file system, named by its root path, in the
// order it was mounted. Pseudo file systems of the kernel, containers and snaps are left out;
// RAM file systems are kept as "Ram Disk" unless they serve the system itself (under /dev,
// /proc, /sys or /run).

#include <QByteArray>
#include <QString>

#include <vector>

namespace quenda {

// Codes as the drive pane has always shown them.
enum class DriveType : int {
    Unknown = 0,
    Removable = 1,
    Fixed = 2,
    Remote = 3,
    CDRom = 4,
    RamDisk = 5,
};

// "Removable Disk", "Fixed Disk", "Remote Disk", "CDRom", "Ram Disk", else "Unknown Type".
QString driveTypeName(DriveType type);
QString driveTypeName(int code);

// One line of the mount table, as far as the drive list needs it.
struct MountEntry {
    QString mountPoint;
    QString source;     // the device or the network source ("//server/share", "host:/export")
    QString fileSystem; // "ext4", "nfs4", "fuse.sshfs"
    unsigned major = 0;
    unsigned minor = 0;
};

// The real file systems of a /proc/self/mountinfo text, in its order. A mount point mounted
// again later is listed once, for the later mount that hides the earlier one.
std::vector<MountEntry> parseMountInfo(const QByteArray &text);

// False for the kernel's, containers' and snaps' own file systems.
bool isRealFileSystem(const QString &fileSystem, const QString &mountPoint);

// The type by the file-system name alone (Unknown where the device must be asked).
DriveType driveTypeOf(const QString &fileSystem);

struct DriveInfo {
    QString rootPath;
    QString device;     // the mount source
    QString fileSystem; // the file-system type name
    DriveType type = DriveType::Unknown;
    qint64 totalBytes = 0;
    qint64 freeBytes = 0;      // free for the administrator
    qint64 availableBytes = 0; // free for the user
    bool ready = false;        // the file system answers and its root can be read
    qint32 serialNumber = 0;   // the file system id, as a signed 32-bit number
    QString shareName;         // the network source of a remote drive; else empty
    QString volumeLabel;       // the label the device carries; empty when it has none

    QString typeName() const { return driveTypeName(type); }
};

// Where the system keeps what the drive list reads; tests point these at folders of their own.
struct DriveSources {
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
    QString sysRoot = QStringLiteral("/sys");
    QString labelFolder = QStringLiteral("/dev/disk/by-label");
};

// Sizes, readiness, serial number, label and type of one mounted file system.
DriveInfo describeDrive(const MountEntry &mount, const DriveSources &sources = {});

// Every drive, in mount order; bind mounts of single files are left out.
std::vector<DriveInfo> listDrives(const DriveSources &sources = {});

// Whether folder can be opened and listed: a drive whose root cannot is not ready.
bool isFolderReadable(const QString &folder);

// The drive that holds path (the mount with the longest root path that contains it).
DriveInfo driveOfPath(const QString &path, const DriveSources &sources = {});

} // namespace quenda
