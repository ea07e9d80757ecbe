#include "fs/fresh_folder.h"

#include "fs/mounts.h"
#include "fs/native_path.h"
#include "fs/remove_tree.h"
#include "fs/unique_fd.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

Status makeFolderPath(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    const QByteArray native = toNativePath(clean);
    for (qsizetype at = 1; at <= native.size(); ++at) {
        if (at < native.size() && native[at] != '/')
            continue;
        const QByteArray part = native.left(at);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            return fail(QStringLiteral("The folder %1 cannot be created: %2")
                            .arg(fromNativePath(part), systemErrorText(error)),
                        error);
        }
    }
    struct stat st {};
    const int error = ::stat(native.constData(), &st) != 0 ? errno
                      : S_ISDIR(st.st_mode)                ? 0
                                                           : ENOTDIR;
    if (error != 0)
        return fail(QStringLiteral("The folder %1 cannot be created: %2")
                        .arg(clean, systemErrorText(error)),
                    error);
    return {};
}

QByteArray folderNamedAlike(int parentFd, const QString &name)
{
    const int listFd = ::openat(parentFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return QByteArray();
    }
    QByteArray found;
    while (const dirent *e = ::readdir(dir)) {
        if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN)
            continue;
        const QString entry = fromNativePath(QByteArrayView(e->d_name));
        if (entry.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        struct stat st {};
        if (fstatat(parentFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
            continue;
        if (found.isEmpty() || entry == name)
            found = QByteArray(e->d_name);
        if (entry == name)
            break;
    }
    ::closedir(dir);
    return found;
}

bool folderHolds(dev_t device, ino_t inode, const QByteArray &nativePath)
{
    QByteArray existing = nativePath;
    struct stat st {};
    while (stat(existing.constData(), &st) != 0) {
        const qsizetype slash = existing.lastIndexOf('/');
        if (slash < 0) {
            existing = ".";
            break;
        }
        existing = slash == 0 ? QByteArray("/") : existing.left(slash);
    }
    UniqueFd fd(::open(existing.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd) // a file: its folder is where the walk starts
        fd.reset(::open(toNativePath(QFileInfo(fromNativePath(existing)).path()).constData(),
                        O_PATH | O_DIRECTORY | O_CLOEXEC));
    for (int guard = 0; fd && guard < 4096; ++guard) {
        if (fstat(fd.get(), &st) != 0)
            return false;
        if (st.st_dev == device && st.st_ino == inode)
            return true;
        UniqueFd up(openat(fd.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above {};
        if (!up || fstat(up.get(), &above) != 0 ||
            (above.st_dev == st.st_dev && above.st_ino == st.st_ino))
            return false;
        fd = std::move(up);
    }
    return false;
}

bool liesWithin(const QString &inner, const QString &outer)
{
    struct stat top {};
    if (stat(toNativePath(outer).constData(), &top) != 0 || !S_ISDIR(top.st_mode))
        return false;
    QByteArray start = toNativePath(inner);
    // A link outside that points inside stands for what it points at.
    if (char *resolved = ::realpath(start.constData(), nullptr)) {
        start = resolved;
        std::free(resolved);
    }
    return folderHolds(top.st_dev, top.st_ino, start);
}

Result<QString> makeFreshFolder(const QString &folder, const QStringList &sources,
                                JobControl *control)
{
    const QString target = QDir::cleanPath(folder);
    struct stat st {};
    // Only a real folder is emptied; a link of that name goes as a link, sparing its target.
    const bool realFolder =
        lstat(toNativePath(target).constData(), &st) == 0 && S_ISDIR(st.st_mode);
    for (const QString &source : sources) {
        if (!realFolder || !liesWithin(source, target))
            continue;
        QString shown = source;
        struct stat sst {};
        if (lstat(toNativePath(source).constData(), &sst) == 0 && S_ISLNK(sst.st_mode))
            shown = QStringLiteral("%1 (a link to %2)")
                        .arg(source, QFileInfo(source).canonicalFilePath());
        return fail(QStringLiteral("%1 lies inside %2, which the copy empties first. Nothing "
                                   "was copied.")
                        .arg(shown, target));
    }
    if (realFolder) {
        // Emptying the folder must not reach into a file system mounted in it: a bind mount
        // shares the device number, so the mount table says where mounts are.
        const QStringList mounts = mountPointsWithin(target);
        if (!mounts.isEmpty())
            return fail(QStringLiteral("Another file system is mounted at %1, in %2, which the "
                                       "copy empties first. Nothing was removed or copied.")
                            .arg(mounts.front(), target),
                        EBUSY);
    }
    if (Status made = makeFolderPath(QFileInfo(target).path()); !made)
        return made.error();
    if (Status removed = control ? removeTree(target, *control) : removeTree(target); !removed)
        return fail(
            QStringLiteral("The folder %1 cannot be emptied: %2").arg(target, removed.message()),
            removed.code());
    if (::mkdir(toNativePath(target).constData(), 0777) != 0) {
        const int error = errno;
        return fail(QStringLiteral("The folder %1 cannot be created: %2")
                        .arg(target, systemErrorText(error)),
                    error);
    }
    // The copy flushes what it puts inside; the folder's own name lives in its parent.
    if (const UniqueFd parent(::open(toNativePath(QFileInfo(target).path()).constData(),
                                     O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        parent)
        (void)::fsync(parent.get());
    return target;
}

Result<PreparedFolder> prepareFolderForCopy(const QString &folder, const QStringList &sources,
                                            LockWait wait, JobControl &control)
{
    const QString target = QDir::cleanPath(folder);
    if (Status made = makeFolderPath(QFileInfo(target).path()); !made)
        return made.error();
    Result<FolderLock> lock = lockFolderForCopy(target, wait, control);
    if (!lock)
        return lock.error();
    Result<QString> fresh = makeFreshFolder(target, sources, &control);
    if (!fresh)
        return fresh.error();
    return PreparedFolder{*fresh, std::move(*lock)};
}

} // namespace quenda
