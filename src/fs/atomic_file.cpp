#include "fs/atomic_file.h"

#include "fs/copy_run.h"
#include "fs/folder_syncs.h"
#include "fs/native_path.h"
#include "fs/temp_names.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

constexpr qsizetype kBufferSize = 256 * 1024;

bool writeAll(int fd, const char *data, qsizetype size, int *error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

AtomicFile::AtomicFile(QString targetPath, AtomicFileOptions options)
    : m_target(std::move(targetPath)), m_options(options)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

Status AtomicFile::failWith(int errnoValue, const QString &action)
{
    m_failed = true;
    m_error = fail(QStringLiteral("%1 %2: %3").arg(action, m_target, systemErrorText(errnoValue)),
                   errnoValue);
    // A failed file is never committed: its temporary goes at once.
    discard();
    return m_error;
}

Status AtomicFile::open()
{
    if (m_fd >= 0 || m_failed)
        return m_failed ? Status(m_error) : Status();
    const QByteArray native = toNativePath(m_target);
    const qsizetype slash = native.lastIndexOf('/');
    m_folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : native.left(slash);
    m_name = native.mid(slash + 1);
    if (m_name.isEmpty() || m_name == "." || m_name == "..")
        return failWith(EISDIR, QStringLiteral("Cannot write"));

    m_ownsDirFd = !(m_options.run && m_options.folder);
    m_dirFd = m_ownsDirFd ? ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                          : m_options.folder->fd.get();
    if (m_dirFd < 0)
        return failWith(errno, QStringLiteral("Cannot write"));

    struct stat old {};
    const bool replacing = fstatat(m_dirFd, m_name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing && S_ISDIR(old.st_mode))
        return failWith(EISDIR, QStringLiteral("Cannot write"));

    for (int attempt = 0; attempt < 100; ++attempt) {
        m_tempName = temporaryName();
        m_fd = openat(m_dirFd, m_tempName.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (m_fd >= 0 || errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const int error = errno;
        m_tempName.clear();
        return failWith(error, QStringLiteral("Cannot write"));
    }
    if (replacing && S_ISREG(old.st_mode)) {
        // Best effort: the content is what matters; a foreign owner cannot be kept as a user.
        if (old.st_uid != geteuid() || old.st_gid != getegid())
            (void)fchown(m_fd, old.st_uid, old.st_gid);
        (void)fchmod(m_fd, old.st_mode & 01777);
    }
    if (m_options.permissions >= 0 && fchmod(m_fd, static_cast<mode_t>(m_options.permissions)) != 0)
        return failWith(errno, QStringLiteral("Cannot write"));
    m_buffer.reserve(kBufferSize);
    return {};
}

Status AtomicFile::flushBuffer()
{
    if (m_buffer.isEmpty())
        return {};
    int error = 0;
    if (!writeAll(m_fd, m_buffer.constData(), m_buffer.size(), &error))
        return failWith(error, QStringLiteral("Cannot write"));
    m_buffer.clear();
    return {};
}

Status AtomicFile::write(QByteArrayView bytes)
{
    if (m_failed)
        return m_error;
    if (m_fd < 0)
        return failWith(EBADF, QStringLiteral("Cannot write"));
    if (m_buffer.size() + bytes.size() > kBufferSize) {
        if (Status s = flushBuffer(); !s)
            return s;
    }
    if (bytes.size() >= kBufferSize) {
        int error = 0;
        if (!writeAll(m_fd, bytes.data(), bytes.size(), &error))
            return failWith(error, QStringLiteral("Cannot write"));
    } else {
        m_buffer.append(bytes.data(), bytes.size());
    }
    m_written += bytes.size();
    return {};
}

Status AtomicFile::commit()
{
    if (m_failed)
        return m_error;
    if (m_fd < 0)
        return failWith(EBADF, QStringLiteral("Cannot write"));
    Status status = flushBuffer();
    if (status && m_options.run) {
        if (m_options.startWriteback)
            (void)sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        if (::close(std::exchange(m_fd, -1)) != 0)
            return failWith(errno, QStringLiteral("Cannot write"));
        if (m_ownsDirFd) {
            m_options.run->placeWritten(m_dirFd, fromNativePath(m_folder),
                                        std::exchange(m_tempName, QByteArray()), m_name, m_target,
                                        m_options.placed);
            ::close(m_dirFd);
        } else {
            m_options.run->placeWritten(m_options.folder, std::exchange(m_tempName, QByteArray()),
                                        m_name, m_target, m_options.placed);
        }
        m_dirFd = -1;
        return {};
    }
    // The data reaches the disk before the name does: a power cut or a pulled player leaves
    // the earlier file or the whole new one, never an empty file under the final name.
    if (status && fdatasync(m_fd) != 0 && errno != EINVAL)
        status = failWith(errno, QStringLiteral("Cannot write"));
    // Network file systems may report a failed write only when the file is closed.
    if (status && ::close(std::exchange(m_fd, -1)) != 0)
        status = failWith(errno, QStringLiteral("Cannot write"));
    if (status && renameat(m_dirFd, m_tempName.constData(), m_dirFd, m_name.constData()) != 0)
        status = failWith(errno, QStringLiteral("Cannot replace"));
    if (!status)
        return status;
    m_tempName.clear();
    const UniqueFd folder(std::exchange(m_dirFd, -1));
    if (m_options.folderSyncs) {
        m_options.folderSyncs->add(folder.get(), fromNativePath(m_folder));
        return {};
    }
    if (::fsync(folder.get()) != 0 && errno != EINVAL) {
        const int error = errno;
        return fail(QStringLiteral("Cannot write %1: the folder could not be written to the disk "
                                   "(%2)")
                        .arg(m_target, systemErrorText(error)),
                    error);
    }
    return {};
}

void AtomicFile::discard()
{
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_tempName.isEmpty() && m_dirFd >= 0)
        unlinkat(m_dirFd, m_tempName.constData(), 0);
    m_tempName.clear();
    if (m_dirFd >= 0 && m_ownsDirFd)
        ::close(m_dirFd);
    m_dirFd = -1;
    m_buffer.clear();
}

Status writeFileAtomically(const QString &path, QByteArrayView bytes, AtomicFileOptions options)
{
    AtomicFile file(path, options);
    if (Status s = file.open(); !s)
        return s;
    if (Status s = file.write(bytes); !s)
        return s;
    return file.commit();
}

Status placedStatus(const CopiedFile &file, const QString &targetPath)
{
    if (file.fate == CopiedFile::Fate::Placed)
        return {};
    return fail(QStringLiteral("Cannot write %1: %2").arg(targetPath, file.reason), file.error);
}

Result<QString> safeChildPath(const QString &folder, const QString &name)
{
    if (name.isEmpty())
        return fail(QStringLiteral("A file name taken from the data is empty"));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("\"%1\" cannot be used as a file name").arg(name));
    if (name.contains(QLatin1Char('/')))
        return fail(QStringLiteral("The name \"%1\" holds the path separator \"/\"").arg(name));
    if (name.contains(QChar(0)))
        return fail(QStringLiteral("The name \"%1\" holds a NUL character").arg(name));
    if (toNativePath(name).size() > NAME_MAX)
        return fail(
            QStringLiteral("The name \"%1\" is longer than %2 bytes").arg(name).arg(NAME_MAX));
    if (folder.isEmpty())
        return fail(QStringLiteral("No folder was given for \"%1\"").arg(name));
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace quenda
