#include "fs/fresh_folder.h"

#include "fs/native_path.h"
#include "fs/remove_tree.h"
#include "fs/unique_fd.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

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
    return stat(toNativePath(outer).constData(), &top) == 0 && S_ISDIR(top.st_mode) &&
           folderHolds(top.st_dev, top.st_ino, toNativePath(inner));
}

Result<QString> makeFreshFolder(const QString &folder, const QStringList &sources,
                                JobControl *control)
{
    const QString target = QDir::cleanPath(folder);
    struct stat st {};
    // Only a real folder is emptied; a link of that name goes as a link, sparing its target.
    const bool realFolder =
        lstat(toNativePath(target).constData(), &st) == 0 && S_ISDIR(st.st_mode);
    for (const QString &source : sources)
        if (realFolder && liesWithin(source, target))
            return fail(QStringLiteral("%1 lies inside %2, which the copy empties first. Nothing "
                                       "was copied.")
                            .arg(source, target));
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
    return target;
}

} // namespace quenda
