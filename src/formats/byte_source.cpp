#include "formats/byte_source.h"

#include "formats/table_reader.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

class FileSource final : public ByteSource {
public:
    FileSource(int fd, qint64 size) : m_fd(fd), m_size(size) {}
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    qint64 size() const override { return m_size; }

    qint64 readAt(qint64 offset, char *dest, qint64 count) override
    {
        qint64 done = 0;
        while (done < count) {
            const ssize_t n = ::pread(m_fd, dest + done, static_cast<size_t>(count - done),
                                      static_cast<off_t>(offset + done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_error = systemErrorText(errno);
                return -1;
            }
            if (n == 0)
                break;
            done += n;
        }
        return done;
    }

    Status status() const override { return faultStatus(m_error); }

private:
    int m_fd;
    qint64 m_size;
    QString m_error;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    qint64 size() const override { return m_bytes.size(); }
    qint64 readAt(qint64 offset, char *dest, qint64 count) override
    {
        if (offset < 0 || offset >= m_bytes.size())
            return 0;
        const qint64 n = std::min(count, m_bytes.size() - offset);
        std::memcpy(dest, m_bytes.constData() + offset, static_cast<size_t>(n));
        return n;
    }
    Status status() const override { return {}; }

private:
    QByteArray m_bytes;
};

} // namespace

QString cannotReadMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("The file %1 cannot be read: %2.").arg(path, reason);
}

Result<std::unique_ptr<ByteSource>> openFileSource(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return fail(QStringLiteral("The file %1 does not exist.").arg(path),
                        kErrorFileNotFound);
        return fail(cannotReadMessage(path, systemErrorText(error)));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(cannotReadMessage(path, systemErrorText(error)));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(cannotReadMessage(path, QStringLiteral("it is not a regular file")));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return std::unique_ptr<ByteSource>(std::make_unique<FileSource>(fd, info.st_size));
}

std::unique_ptr<ByteSource> memorySource(QByteArray bytes)
{
    return std::make_unique<MemorySource>(std::move(bytes));
}

} // namespace quenda
