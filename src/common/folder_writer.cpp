#include "common/folder_writer.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

std::atomic<unsigned> g_tempCounter{0};

bool writeAll(int fd, const char *data, qsizetype size, int &err)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

FolderWriter::FolderWriter(const QString &folder)
    : m_folder(folder), m_tempTag(".quenda-" + QByteArray::number(getpid()) + '-')
{
    const QByteArray native = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    m_dirFd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dirFd < 0) {
        const int err = errno;
        m_status = fail(
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(folder), systemErrorText(err)),
            err);
    }
}

FolderWriter::~FolderWriter()
{
    if (m_dirFd >= 0)
        ::close(m_dirFd);
}

int FolderWriter::moveIntoPlace(const QByteArray &temp, const QByteArray &target)
{
    // A new name needs no look at what it replaces; where the file system cannot promise that,
    // or a file is there, that file's permissions pass to its replacement.
    if (::renameat2(m_dirFd, temp.constData(), m_dirFd, target.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EEXIST && errno != EINVAL && errno != ENOSYS)
        return errno;
    struct stat existing {};
    if (::fstatat(m_dirFd, target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(existing.st_mode) &&
        ::fchmodat(m_dirFd, temp.constData(), existing.st_mode & 07777, 0) != 0)
        return errno;
    if (::renameat(m_dirFd, temp.constData(), m_dirFd, target.constData()) != 0)
        return errno;
    return 0;
}

Status FolderWriter::write(const QString &name, QByteArrayView bytes)
{
    auto failed = [&](int err) {
        return fail(
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(QDir(m_folder).filePath(name)),
                                         systemErrorText(err)),
            err);
    };
    if (!m_status)
        return failed(m_status.code());
    const QByteArray target = QFile::encodeName(name);
    if (target.isEmpty() || target == "." || target == ".." || target.contains('/'))
        return failed(EINVAL);

    QByteArray &temp = m_temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        // Hidden, and unique to this process and call, so that no two writers share one.
        temp.truncate(0);
        temp += '.';
        temp += QByteArrayView(target).first(std::min<qsizetype>(target.size(), 64));
        temp += m_tempTag;
        temp += QByteArray::number(g_tempCounter.fetch_add(1, std::memory_order_relaxed));
        fd = ::openat(m_dirFd, temp.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return failed(errno);
    }
    if (fd < 0)
        return failed(EEXIST);

    int err = 0;
    writeAll(fd, bytes.data(), bytes.size(), err);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0)
        err = moveIntoPlace(temp, target);
    if (err != 0) {
        ::unlinkat(m_dirFd, temp.constData(), 0);
        return failed(err);
    }
    return {};
}

} // namespace quenda
