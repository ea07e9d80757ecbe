#include "fs/regular_file.h"

#include "fs/native_path.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace quenda {

Result<UniqueFd> openRegularFile(const QString &path)
{
    const QByteArray native = toNativePath(path);
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        return fail(QStringLiteral("Cannot open %1: %2").arg(path, systemErrorText(error)), error);
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        const int error = errno;
        return fail(QStringLiteral("Cannot open %1: %2").arg(path, systemErrorText(error)), error);
    }
    if (S_ISDIR(st.st_mode))
        return fail(QStringLiteral("%1 is a folder, not a file").arg(path), EISDIR);
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("%1 is not a regular file (a pipe, socket or device)").arg(path),
                    EINVAL);
    // Reads of a regular file never block anyway; clearing the flag keeps plain semantics.
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags >= 0)
        (void)fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

Status openRegularFile(const QString &path, QFile &file)
{
    Result<UniqueFd> fd = openRegularFile(path);
    if (!fd)
        return fd.error();
    if (!file.open(fd->get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return fail(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    fd->release();
    return {};
}

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa {
    }, sb{};
    return stat(toNativePath(a).constData(), &sa) == 0 &&
           stat(toNativePath(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace quenda
