#include "fs/folder_lock.h"

#include "fs/native_path.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quenda {

namespace {

// $XDG_RUNTIME_DIR, else a folder of this user's own in /tmp; refused when it is not a real
// folder owned by the user, so nobody else can stand in for the lock file.
Result<QByteArray> lockFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    QByteArray folder = runtime && *runtime == '/' ? QByteArray(runtime)
                                                   : "/tmp/quenda-" + QByteArray::number(geteuid());
    if (!runtime || *runtime != '/')
        (void)::mkdir(folder.constData(), 0700);
    struct stat st {};
    if (lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        return fail(QStringLiteral("The folder %1 for the copy locks is not usable")
                        .arg(fromNativePath(folder)),
                    EACCES);
    }
    return folder;
}

} // namespace

QString copyRunningText(const QString &folder)
{
    return QStringLiteral("Another copy into %1 is running").arg(QDir::toNativeSeparators(folder));
}

QString copyWaitingText(const QString &folder)
{
    return QStringLiteral("Waiting: another copy into %1 is running")
        .arg(QDir::toNativeSeparators(folder));
}

Result<FolderLock> lockFolderForCopy(const QString &folder, LockWait wait, JobControl &control)
{
    const QFileInfo info(QDir::cleanPath(folder));
    struct stat parent {};
    if (::stat(toNativePath(info.path()).constData(), &parent) != 0) {
        const int error = errno;
        return fail(QStringLiteral("Cannot copy into %1: %2").arg(folder, systemErrorText(error)),
                    error);
    }
    const Result<QByteArray> place = lockFolder();
    if (!place)
        return place.error();
    const QByteArray nameHash =
        QCryptographicHash::hash(toNativePath(info.fileName()), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QByteArray path = *place + "/copy-" + QByteArray::number(quint64(parent.st_dev), 16) +
                            '-' + QByteArray::number(quint64(parent.st_ino), 16) + '-' + nameHash +
                            ".lock";
    UniqueFd fd(::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        const int error = errno;
        return fail(QStringLiteral("The copy lock %1 cannot be opened: %2")
                        .arg(fromNativePath(path), systemErrorText(error)),
                    error);
    }
    bool told = false;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK)
            return fail(QStringLiteral("The copy lock %1 cannot be taken: %2")
                            .arg(fromNativePath(path), systemErrorText(error)),
                        error);
        if (wait == LockWait::Refuse)
            return fail(copyRunningText(folder), EWOULDBLOCK);
        if (!told) {
            control.setItem(copyWaitingText(folder));
            told = true;
        }
        if (control.isCancelled())
            return fail(QStringLiteral("The copy into %1 was cancelled while it waited")
                            .arg(QDir::toNativeSeparators(folder)),
                        ECANCELED);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return FolderLock(std::move(fd));
}

} // namespace quenda
