#include "player/player_eject.h"

#include "fs/native_path.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <unistd.h>

namespace quenda {

namespace {

QString linkTarget(const QByteArray &path)
{
    char buffer[4096];
    const ssize_t n = readlink(path.constData(), buffer, sizeof buffer);
    return n > 0 ? fromNativePath(QByteArrayView(buffer, n)) : QString();
}

bool isUnder(const QString &path, const QString &root)
{
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

bool processUses(const QByteArray &proc, const QString &root)
{
    if (isUnder(linkTarget(proc + "/cwd"), root) || isUnder(linkTarget(proc + "/root"), root))
        return true;
    DIR *fds = opendir((proc + "/fd").constData());
    if (!fds)
        return false;
    bool uses = false;
    while (const dirent *entry = readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        if (isUnder(linkTarget(proc + "/fd/" + entry->d_name), root)) {
            uses = true;
            break;
        }
    }
    closedir(fds);
    return uses;
}

QString shownName(const Player &player)
{
    return player.name.isEmpty() ? player.root : player.name;
}

} // namespace

QStringList processesUsing(const QString &root)
{
    const QString clean = QDir::cleanPath(root);
    QStringList out;
    DIR *proc = opendir("/proc");
    if (!proc)
        return out;
    while (const dirent *entry = readdir(proc)) {
        const QByteArray pid(entry->d_name);
        bool number = false;
        pid.toLongLong(&number);
        if (!number)
            continue;
        const QByteArray dir = "/proc/" + pid;
        if (!processUses(dir, clean))
            continue;
        QFile comm(QString::fromLatin1(dir + "/comm"));
        const QString name =
            comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : "";
        out << QStringLiteral("%1 (pid %2)")
                   .arg(name.isEmpty() ? QStringLiteral("?") : name, QString::fromLatin1(pid));
    }
    closedir(proc);
    return out;
}

QString desktopEjectHint(const Player &player)
{
    return QStringLiteral("The program cannot eject the player %1 here, as UDisks2 is not there "
                          "to do it. Eject it from the desktop: in the file manager, press the "
                          "eject button beside it (or right-click it and choose Eject or Safely "
                          "Remove), and unplug it once it has gone from the list.")
        .arg(shownName(player));
}

Result<QString> ejectPlayer(const Player &player, const std::optional<UDisksClient> &udisks)
{
    const QString name = shownName(player);
    if (!udisks)
        return fail(desktopEjectHint(player), kUDisksUnavailable);
    QString block = player.blockObject;
    QString drive = player.driveObject;
    if (block.isEmpty()) {
        const Result<std::vector<UDisksFilesystem>> listed = udisks->filesystems();
        if (!listed)
            return fail(listed.code() == kUDisksUnavailable ? desktopEjectHint(player)
                                                            : listed.message(),
                        listed.code());
        const QString root = QDir::cleanPath(player.root);
        for (const UDisksFilesystem &fs : *listed) {
            for (const QString &mountPoint : fs.mountPoints) {
                if (QDir::cleanPath(mountPoint) == root) {
                    block = fs.blockObject;
                    drive = fs.driveObject == QLatin1String("/") ? QString() : fs.driveObject;
                }
            }
        }
        if (block.isEmpty())
            return fail(QStringLiteral("UDisks2 does not know a disk mounted at %1, so it cannot "
                                       "eject it. %2")
                            .arg(QDir::toNativeSeparators(root), desktopEjectHint(player)),
                        kUDisksUnavailable);
    }
    if (Status unmounted = udisks->unmount(block); !unmounted) {
        if (unmounted.code() == kUDisksUnavailable)
            return fail(desktopEjectHint(player), kUDisksUnavailable);
        if (unmounted.code() != kUDisksBusy)
            return fail(
                QStringLiteral("The player %1 was not ejected. %2").arg(name, unmounted.message()),
                unmounted.code());
        // UDisks2 rarely names who holds the player; the process table often can.
        const QStringList users = processesUsing(player.root);
        const QString who =
            users.isEmpty() ? QStringLiteral("a program still uses it")
                            : QStringLiteral("in use by %1").arg(users.join(QLatin1String(", ")));
        return fail(QStringLiteral("The player %1 is busy (%2), so it was not ejected. Close "
                                   "what uses it and eject again. %3")
                        .arg(name, who, unmounted.message()),
                    kUDisksBusy);
    }
    if (drive.isEmpty())
        return QStringLiteral("The player %1 is unmounted and can be unplugged.").arg(name);
    if (Status off = udisks->powerOff(drive); !off)
        return QStringLiteral("The player %1 is unmounted and can be unplugged (it was not "
                              "powered off: %2).")
            .arg(name, off.message());
    return QStringLiteral("The player %1 is ejected and can be unplugged.").arg(name);
}

} // namespace quenda
