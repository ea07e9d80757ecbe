#include "fs/drives.h"

#include "fs/native_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace quenda {

namespace {

bool isUnder(const QString &path, QLatin1StringView folder)
{
    return path == folder ||
           (path.startsWith(folder) && path.size() > folder.size() && path[folder.size()] == u'/');
}

// The kernel writes blanks, tabs, newlines and backslashes in paths as \ooo.
QString decodeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            int value = 0;
            for (char d : digits) {
                ok = ok && d >= '0' && d <= '7';
                value = value * 8 + (d - '0');
            }
            if (ok && value < 256) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return fromNativePath(out);
}

// udev writes characters unsafe in a file name as \xNN in /dev/disk/by-label.
QString decodeUdevName(const QByteArray &name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int value = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return fromNativePath(out);
}

bool isRemovableDevice(unsigned major, unsigned minor, const QString &sysRoot)
{
    if (major == 0)
        return false; // no block device behind it
    const QString device =
        QFileInfo(QStringLiteral("%1/dev/block/%2:%3").arg(sysRoot).arg(major).arg(minor))
            .canonicalFilePath();
    if (device.isEmpty())
        return false;
    const QString disk = QFileInfo::exists(device + QStringLiteral("/partition"))
                             ? QFileInfo(device).absolutePath()
                             : device;
    QFile flag(disk + QStringLiteral("/removable"));
    if (flag.open(QIODevice::ReadOnly) && flag.readAll().trimmed() == "1")
        return true;
    // USB disks often report 0 for the flag, yet are unplugged like any stick.
    return device.contains(QLatin1String("/usb"));
}

QString volumeLabel(const MountEntry &mount, const QString &labelFolder)
{
    DIR *dir = opendir(toNativePath(labelFolder).constData());
    if (!dir)
        return QString();
    const QString source = QFileInfo(mount.source).canonicalFilePath();
    const dev_t device = makedev(mount.major, mount.minor);
    QString label;
    while (const dirent *e = readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QString link = labelFolder + QLatin1Char('/') + fromNativePath(name);
        struct stat st {};
        const bool sameDevice = stat(toNativePath(link).constData(), &st) == 0 &&
                                S_ISBLK(st.st_mode) && st.st_rdev == device;
        if (sameDevice || (!source.isEmpty() && QFileInfo(link).canonicalFilePath() == source)) {
            label = decodeUdevName(name);
            break;
        }
    }
    closedir(dir);
    return label;
}

} // namespace

QString driveTypeName(DriveType type)
{
    switch (type) {
    case DriveType::Removable:
        return QStringLiteral("Removable Disk");
    case DriveType::Fixed:
        return QStringLiteral("Fixed Disk");
    case DriveType::Remote:
        return QStringLiteral("Remote Disk");
    case DriveType::CDRom:
        return QStringLiteral("CDRom");
    case DriveType::RamDisk:
        return QStringLiteral("Ram Disk");
    case DriveType::Unknown:
        break;
    }
    return QStringLiteral("Unknown Type");
}

QString driveTypeName(int code)
{
    return code >= 1 && code <= 5 ? driveTypeName(static_cast<DriveType>(code))
                                  : driveTypeName(DriveType::Unknown);
}

bool isRealFileSystem(const QString &fileSystem, const QString &mountPoint)
{
    static const QSet<QString> pseudo = {
        "proc",        "sysfs",      "cgroup",        "cgroup2",
        "devpts",      "devtmpfs",   "securityfs",    "debugfs",
        "tracefs",     "pstore",     "bpf",           "mqueue",
        "hugetlbfs",   "configfs",   "fusectl",       "autofs",
        "binfmt_misc", "efivarfs",   "nsfs",          "rpc_pipefs",
        "selinuxfs",   "nfsd",       "rootfs",        "fuse.gvfsd-fuse",
        "fuse.portal", "fuse.lxcfs", "fuse.snapfuse", "fuse.xdg-document-portal"};
    if (pseudo.contains(fileSystem))
        return false;
    // Whatever is mounted inside the kernel's own trees belongs to the kernel.
    if (isUnder(mountPoint, QLatin1StringView("/proc")) ||
        isUnder(mountPoint, QLatin1StringView("/sys")))
        return false;
    if ((fileSystem == QLatin1String("tmpfs") || fileSystem == QLatin1String("ramfs")) &&
        (isUnder(mountPoint, QLatin1StringView("/dev")) ||
         isUnder(mountPoint, QLatin1StringView("/run"))))
        return false;
    // A container's root is an overlay and is its one real drive; other overlays are the
    // layers of containers running on this system.
    if ((fileSystem == QLatin1String("overlay") || fileSystem == QLatin1String("aufs")) &&
        mountPoint != QLatin1String("/"))
        return false;
    if (fileSystem == QLatin1String("squashfs") &&
        (isUnder(mountPoint, QLatin1StringView("/snap")) ||
         isUnder(mountPoint, QLatin1StringView("/var/lib/snapd"))))
        return false;
    return true;
}

DriveType driveTypeOf(const QString &fileSystem)
{
    static const QSet<QString> remote = {
        "nfs",   "nfs4", "cifs",   "smb3",        "smbfs",          "sshfs",   "fuse.sshfs",
        "9p",    "afs",  "ceph",   "glusterfs",   "fuse.glusterfs", "davfs",   "fuse.davfs2",
        "ncpfs", "coda", "lustre", "fuse.rclone", "fuse.s3fs",      "virtiofs"};
    if (remote.contains(fileSystem))
        return DriveType::Remote;
    if (fileSystem == QLatin1String("iso9660") || fileSystem == QLatin1String("udf"))
        return DriveType::CDRom;
    if (fileSystem == QLatin1String("tmpfs") || fileSystem == QLatin1String("ramfs"))
        return DriveType::RamDisk;
    return DriveType::Unknown;
}

std::vector<MountEntry> parseMountInfo(const QByteArray &text)
{
    std::vector<MountEntry> out;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super
        const auto dash = std::find(fields.begin() + std::min<qsizetype>(6, fields.size()),
                                    fields.end(), QByteArray("-"));
        if (fields.size() < 10 || dash == fields.end() || fields.end() - dash < 3)
            continue;
        MountEntry entry;
        const QByteArray &numbers = fields[2];
        const qsizetype colon = numbers.indexOf(':');
        entry.major = numbers.left(colon).toUInt();
        entry.minor = numbers.mid(colon + 1).toUInt();
        entry.mountPoint = decodeMountField(fields[4]);
        entry.fileSystem = decodeMountField(*(dash + 1));
        entry.source = decodeMountField(*(dash + 2));
        if (!isRealFileSystem(entry.fileSystem, entry.mountPoint))
            continue;
        // A later mount on the same point hides the earlier one.
        out.erase(
            std::remove_if(out.begin(), out.end(),
                           [&](const MountEntry &m) { return m.mountPoint == entry.mountPoint; }),
            out.end());
        out.push_back(std::move(entry));
    }
    return out;
}

DriveInfo describeDrive(const MountEntry &mount, const DriveSources &sources)
{
    DriveInfo drive;
    drive.rootPath = mount.mountPoint;
    drive.device = mount.source;
    drive.fileSystem = mount.fileSystem;
    drive.type = driveTypeOf(mount.fileSystem);
    if (drive.type == DriveType::Unknown)
        drive.type = isRemovableDevice(mount.major, mount.minor, sources.sysRoot)
                         ? DriveType::Removable
                         : DriveType::Fixed;
    if (drive.type == DriveType::Remote)
        drive.shareName = mount.source;

    struct statvfs vfs {};
    if (statvfs(toNativePath(mount.mountPoint).constData(), &vfs) == 0) {
        const auto unit = static_cast<qint64>(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
        drive.totalBytes = static_cast<qint64>(vfs.f_blocks) * unit;
        drive.freeBytes = static_cast<qint64>(vfs.f_bfree) * unit;
        drive.availableBytes = static_cast<qint64>(vfs.f_bavail) * unit;
        drive.serialNumber = static_cast<qint32>(static_cast<quint32>(vfs.f_fsid & 0xFFFFFFFFu));
        drive.ready = isFolderReadable(mount.mountPoint);
    }
    drive.volumeLabel = volumeLabel(mount, sources.labelFolder);
    return drive;
}

std::vector<DriveInfo> listDrives(const DriveSources &sources)
{
    QFile file(sources.mountInfo);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The file is generated as it is read; readAll takes it whole.
    const QByteArray text = file.readAll();
    std::vector<DriveInfo> drives;
    for (const MountEntry &mount : parseMountInfo(text)) {
        struct stat st {};
        if (stat(toNativePath(mount.mountPoint).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            continue; // a single file bound into place, such as a container's /etc/hosts
        drives.push_back(describeDrive(mount, sources));
    }
    return drives;
}

DriveInfo driveOfPath(const QString &path, const DriveSources &sources)
{
    QFile file(sources.mountInfo);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const MountEntry *best = nullptr;
    const std::vector<MountEntry> mounts = parseMountInfo(file.readAll());
    for (const MountEntry &m : mounts) {
        const bool contains = m.mountPoint == QLatin1String("/") || absolute == m.mountPoint ||
                              absolute.startsWith(m.mountPoint + QLatin1Char('/'));
        if (contains && (!best || m.mountPoint.size() > best->mountPoint.size()))
            best = &m;
    }
    return best ? describeDrive(*best, sources) : DriveInfo{};
}

bool isFolderReadable(const QString &folder)
{
    DIR *dir = opendir(toNativePath(folder).constData());
    if (!dir)
        return false;
    errno = 0;
    (void)readdir(dir);
    const bool ok = errno == 0;
    closedir(dir);
    return ok;
}

} // namespace quenda
