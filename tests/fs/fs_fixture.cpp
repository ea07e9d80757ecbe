#include "fs_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quenda::test {

TempTree::TempTree()
{
    // Wide open, so that a test run as another user can walk into it.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
}

TempTree::~TempTree()
{
    std::error_code ignored;
    std::filesystem::remove_all(
        std::filesystem::path(QFile::encodeName(m_dir.path()).toStdString()), ignored);
}

QString TempTree::file(const QString &relative, const QByteArray &bytes) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return p;
}

QString TempTree::folder(const QString &relative) const
{
    QDir().mkpath(path(relative));
    return path(relative);
}

QString TempTree::link(const QString &relative, const QString &target) const
{
    const QString p = path(relative);
    QDir().mkpath(QFileInfo(p).absolutePath());
    ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(p).constData());
    return p;
}

QStringList TempTree::listing(const QString &relative) const
{
    const QString base = relative.isEmpty() ? root() : path(relative);
    QStringList out;
    QDirIterator it(base, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next().mid(base.size() + 1);
    out.sort();
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

unsigned modeOf(const QString &path)
{
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0xFFFF;
}

bool isLink(const QString &path)
{
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QString sparseFile(const QString &path, qint64 size)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.resize(size);
    return path;
}

Mount::~Mount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_point).constData(), MNT_DETACH);
}

TmpfsMount::TmpfsMount(const QString &mountPoint, const char *options) : Mount(mountPoint)
{
    QDir().mkpath(mountPoint);
    if (geteuid() == 0)
        m_mounted =
            ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, options) == 0;
}

bool TmpfsMount::remountReadOnly()
{
    return m_mounted && ::mount(nullptr, QFile::encodeName(m_point).constData(), nullptr,
                                MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

namespace {

bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

} // namespace

ImmutableFile::ImmutableFile(const QString &path) : m_path(path)
{
    m_marked = geteuid() == 0 && setImmutable(path, true);
}

ImmutableFile::~ImmutableFile()
{
    if (m_marked)
        (void)setImmutable(m_path, false);
}

BindMount::BindMount(const QString &source, const QString &target) : Mount(target)
{
    if (geteuid() == 0)
        m_mounted = ::mount(QFile::encodeName(source).constData(),
                            QFile::encodeName(target).constData(), nullptr, MS_BIND, nullptr) == 0;
}

std::optional<bool> runUnprivileged(const std::function<bool()> &check)
{
    if (geteuid() != 0)
        return check();
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        // "nobody" on Debian; the exit code carries the answer back.
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 2)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

} // namespace quenda::test
