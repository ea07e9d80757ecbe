#include "player/player_device.h"

#include "fs/native_path.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace quenda {

namespace {

constexpr qint64 kSysInfoCap = 64 * 1024;

// The entry of folder named name under any letter case, when it is a folder (links
// followed, as the player's own file system has none); an exact match wins.
QString childFolderAnyCase(const QString &folder, const QString &name)
{
    const QByteArray native = toNativePath(folder);
    struct stat st {};
    const QString exact = folder + QLatin1Char('/') + name;
    if (::stat(toNativePath(exact).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return exact;
    DIR *dir = opendir(native.constData());
    if (!dir)
        return QString();
    QString found;
    while (const dirent *entry = readdir(dir)) {
        const QString entryName = fromNativePath(entry->d_name);
        if (entryName.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const QString path = folder + QLatin1Char('/') + entryName;
        if (::stat(toNativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            found = path;
            break;
        }
    }
    closedir(dir);
    return found;
}

QString childFileAnyCase(const QString &folder, const QString &name)
{
    DIR *dir = opendir(toNativePath(folder).constData());
    if (!dir)
        return QString();
    QString found;
    while (const dirent *entry = readdir(dir)) {
        const QString entryName = fromNativePath(entry->d_name);
        if (entryName.compare(name, Qt::CaseInsensitive) == 0) {
            found = folder + QLatin1Char('/') + entryName;
            if (entryName == name)
                break;
        }
    }
    closedir(dir);
    return found;
}

QString lastFolderName(const QString &root)
{
    const QString clean = QDir::cleanPath(root);
    const QString name = clean.mid(clean.lastIndexOf(QLatin1Char('/')) + 1);
    return name.isEmpty() ? clean : name;
}

} // namespace

QString playerControlFolder(const QString &root)
{
    if (root.isEmpty())
        return QString();
    return childFolderAnyCase(QDir::cleanPath(root), QStringLiteral("iPod_Control"));
}

bool isPlayerRoot(const QString &root)
{
    return !playerControlFolder(root).isEmpty();
}

QString modelFromSysInfo(const QByteArray &sysInfo)
{
    QString board;
    for (const QByteArray &rawLine : sysInfo.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray key = line.left(colon).trimmed();
        const QString value = QString::fromLatin1(line.mid(colon + 1).trimmed());
        if (value.isEmpty())
            continue;
        if (key == "ModelNumStr")
            return value;
        if (key == "BoardHwName" && board.isEmpty())
            board = value;
    }
    return board;
}

QString playerModelAt(const QString &root)
{
    const QString control = playerControlFolder(root);
    if (control.isEmpty())
        return QString();
    const QString device = childFolderAnyCase(control, QStringLiteral("Device"));
    if (device.isEmpty())
        return QString();
    const QString sysInfo = childFileAnyCase(device, QStringLiteral("SysInfo"));
    QFile file(sysInfo);
    if (sysInfo.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QString();
    return modelFromSysInfo(file.read(kSysInfoCap));
}

QString volumeLabelAt(const QString &root)
{
    const QStorageInfo volume(root);
    return volume.isValid() && volume.rootPath() == QDir::cleanPath(root) ? volume.name()
                                                                          : QString();
}

void readSpace(Player &player)
{
    struct statvfs fs {};
    if (statvfs(toNativePath(player.root).constData(), &fs) != 0)
        return;
    player.sizeBytes = qint64(fs.f_blocks) * qint64(fs.f_frsize);
    player.freeBytes = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    player.readOnly = (fs.f_flag & ST_RDONLY) != 0;
}

Player describePlayer(const QString &root, const QString &label, Player known)
{
    Player player = std::move(known);
    player.root = QDir::cleanPath(root);
    player.label = label.trimmed();
    player.name = player.label.isEmpty() ? lastFolderName(player.root) : player.label;
    if (const QString model = playerModelAt(player.root); !model.isEmpty())
        player.model = model;
    // The drive's size, where UDisks2 gave it, is what the user knows the player by.
    const qint64 driveSize = player.sizeBytes;
    readSpace(player);
    if (driveSize > 0)
        player.sizeBytes = driveSize;
    return player;
}

} // namespace quenda
