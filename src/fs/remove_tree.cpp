#include "fs/remove_tree.h"

#include "fs/mounts.h"
#include "fs/native_path.h"
#include "fs/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <optional>
#include <vector>

namespace quenda {

namespace {

class Remover {
public:
    explicit Remover(JobControl &control) : m_control(control) {}

    bool complete = true;

    // The mount the removal stays on; device numbers alone would miss a bind mount.
    void stayOn(dev_t device, std::optional<quint64> mountId)
    {
        m_device = device;
        m_mountId = mountId;
    }

    // Removes name inside the folder open as parentFd; path is its full native path.
    void remove(int parentFd, const char *name, const QByteArray &path)
    {
        if (m_control.isCancelled()) {
            complete = false;
            return;
        }
        struct statx st {};
        if (statx(parentFd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC,
                  STATX_TYPE | STATX_MODE | STATX_MNT_ID, &st) != 0) {
            if (errno != ENOENT)
                failed(path, errno);
            return;
        }
        if (S_ISDIR(st.stx_mode)) {
            const bool otherMount =
                makedev(st.stx_dev_major, st.stx_dev_minor) != m_device ||
                (m_mountId && (st.stx_mask & STATX_MNT_ID) && st.stx_mnt_id != *m_mountId);
            if (otherMount) {
                m_control.fail(fromNativePath(path),
                               QStringLiteral("Another file system is mounted here"));
                complete = false;
                return;
            }
            // What could not be emptied is reported already; the folder then stays, unreported.
            if (!emptyFolder(parentFd, name, path))
                return;
            if (unlinkat(parentFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
                failed(path, errno);
            return;
        }
        if (unlinkat(parentFd, name, 0) != 0 && errno != ENOENT)
            failed(path, errno);
    }

private:
    bool emptyFolder(int parentFd, const char *name, const QByteArray &path)
    {
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd fd(openat(parentFd, name, flags));
        if (!fd && errno == EACCES) {
            // The folder is going anyway: give its owner the rights needed to empty it.
            if (fchmodat(parentFd, name, S_IRWXU, 0) == 0)
                fd.reset(openat(parentFd, name, flags));
        }
        if (!fd) {
            failed(path, errno);
            return false;
        }
        struct stat st {};
        if (fstat(fd.get(), &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
            (void)fchmod(fd.get(), st.st_mode | S_IRWXU);

        // Names are collected first: removing while reading a folder may skip entries.
        std::vector<QByteArray> names;
        const int dupFd = fcntl(fd.get(), F_DUPFD_CLOEXEC, 0);
        DIR *dir = dupFd >= 0 ? fdopendir(dupFd) : nullptr;
        if (!dir) {
            if (dupFd >= 0)
                ::close(dupFd);
            failed(path, errno);
            return false;
        }
        errno = 0;
        while (const dirent *e = readdir(dir)) {
            const char *n = e->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                continue;
            names.emplace_back(n);
        }
        const int readError = errno;
        closedir(dir);
        bool emptied = true;
        if (readError != 0) {
            failed(path, readError);
            emptied = false;
        }
        const bool before = complete;
        complete = true;
        for (const QByteArray &child : names)
            remove(fd.get(), child.constData(), path + '/' + child);
        emptied = emptied && complete;
        complete = before && complete;
        return emptied;
    }

    void failed(const QByteArray &path, int error)
    {
        complete = false;
        m_control.fail(fromNativePath(path), systemErrorText(error));
    }

    JobControl &m_control;
    dev_t m_device = 0;
    std::optional<quint64> m_mountId;
};

} // namespace

Status removeTree(const QString &path, JobControl &control)
{
    QByteArray native = toNativePath(path);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : slash == 0 ? "/" : native.left(slash);
    const QByteArray name = native.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return fail(QStringLiteral("Cannot remove %1: not a removable path").arg(path), EINVAL);

    UniqueFd parentFd(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd) {
        if (errno == ENOENT)
            return {};
        const int error = errno;
        return fail(QStringLiteral("Cannot remove %1: %2").arg(path, systemErrorText(error)),
                    error);
    }
    struct stat st {};
    if (fstatat(parentFd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return {};
        const int error = errno;
        return fail(QStringLiteral("Cannot remove %1: %2").arg(path, systemErrorText(error)),
                    error);
    }
    const qsizetype failuresBefore = control.failureCount();
    Remover remover(control);
    // Everything removed lies on the mount of the folder that holds path: a folder mounted at
    // path itself is not emptied either.
    struct stat above {};
    remover.stayOn(fstat(parentFd.get(), &above) == 0 ? above.st_dev : st.st_dev,
                   mountIdAt(parentFd.get(), ""));
    remover.remove(parentFd.get(), name.constData(), native);
    if (remover.complete)
        return {};
    const qsizetype left = control.failureCount() - failuresBefore;
    if (left == 0)
        return fail(QStringLiteral("Removing %1 was cancelled").arg(path), ECANCELED);
    return fail(QStringLiteral("%1 could not be removed completely: %2 item(s) are left")
                    .arg(path)
                    .arg(left));
}

Status removeTree(const QString &path)
{
    JobControl control;
    const Status status = removeTree(path, control);
    if (status)
        return status;
    const std::vector<ItemFailure> failures = control.failures();
    if (failures.empty())
        return status;
    return fail(
        QStringLiteral("Cannot remove %1: %2").arg(failures.front().path, failures.front().reason),
        status.code());
}

} // namespace quenda
