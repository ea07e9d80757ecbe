#include "fs/copy_run.h"

#include "fs/folder_syncs.h"
#include "fs/native_path.h"
#include "fs/temp_names.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

// Cancel is polled between chunks; at the speed of a slow flash disk a chunk still takes well
// under half a second.
constexpr qint64 kChunk = 4 * 1024 * 1024;
constexpr size_t kBufferSize = 1024 * 1024;
// A batch is written out when it holds this many files or bytes, or when its oldest file has
// waited this long (a slow copy still places its files as it goes).
constexpr int kBatchFiles = 4096;
constexpr qint64 kBatchBytes = qint64(256) * 1024 * 1024;
constexpr auto kBatchAge = std::chrono::seconds(2);

int folderBudget()
{
    // Each folder named in a batch stays open until the batch is placed.
    rlimit limit{};
    const rlim_t soft = getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 1024;
    return static_cast<int>(std::clamp<rlim_t>(soft / 4, 16, 1024));
}

bool isWriteError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS ||
           error == EPERM || error == EIO;
}

// "Report.doc" -> "Report (n).doc"; a leading dot is part of the name, not an extension.
QByteArray numberedName(const QByteArray &name, int n)
{
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray number = " (" + QByteArray::number(n) + ')';
    if (dot <= 0)
        return name + number;
    return name.left(dot) + number + name.mid(dot);
}

// The first numbered name from `from` on that nothing in the folder holds. The search ends: a
// name the system refuses (too long) ends it with that error, and so does a long run of taken
// names.
std::pair<QByteArray, int> freeName(int folderFd, const QByteArray &name, int from)
{
    for (int n = from; n < from + 10000; ++n) {
        const QByteArray candidate = numberedName(name, n);
        if (candidate.size() > NAME_MAX)
            return {QByteArray(), ENAMETOOLONG};
        struct stat st {};
        if (fstatat(folderFd, candidate.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        if (errno == ENOENT)
            return {candidate, 0};
        return {QByteArray(), errno};
    }
    return {QByteArray(), EEXIST};
}

void settle(CopyRun::Done &done, CopiedFile::Fate fate, const QString &reason = QString())
{
    CopiedFile result;
    result.fate = fate;
    result.reason = reason;
    done(result);
}

} // namespace

CopyRun::CopyRun(JobControl &control, bool bytesOnControl)
    : m_control(control), m_bytesOnControl(bytesOnControl), m_maxPendingFolders(folderBudget())
{
}

CopyRun::~CopyRun()
{
    finish();
}

std::pair<TargetFolderRef, int> CopyRun::openFolder(int atFd, const QByteArray &name,
                                                    const QString &path, bool followLink)
{
    auto folder = std::make_shared<TargetFolder>();
    folder->fd.reset(openat(atFd, name.constData(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW)));
    struct stat st {};
    if (!folder->fd || fstat(folder->fd.get(), &st) != 0)
        return {nullptr, errno};
    folder->path = path;
    folder->device = st.st_dev;
    folder->inode = st.st_ino;
    return {folder, 0};
}

void CopyRun::writingInto(const TargetFolderRef &folder)
{
    if (m_cleaned.emplace(folder->device, folder->inode).second)
        removeStaleTemporaries(folder->fd.get());
}

void CopyRun::madeFolderIn(const TargetFolderRef &parent)
{
    markDirty(parent);
}

void CopyRun::progress(qint64 bytes)
{
    if (m_bytesOnControl)
        m_control.advance(bytes);
}

CopyRun::DataResult CopyRun::copyData(int in, int out, qint64 size, qint64 &copied, int *error)
{
    copied = 0;
    bool kernel = size > 0;
    while (kernel && copied < size) {
        const ssize_t n = copy_file_range(in, nullptr, out, nullptr,
                                          static_cast<size_t>(std::min(size - copied, kChunk)), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (copied == 0 && (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP ||
                                errno == ENOSYS || errno == EBADF)) {
                kernel = false; // fall back to plain reads and writes
                break;
            }
            *error = errno;
            return isWriteError(errno) ? DataResult::WriteFailed : DataResult::ReadFailed;
        }
        if (n == 0) {
            // Nothing at all: some file systems copy nothing this way; reading tells.
            kernel = copied > 0;
            break; // otherwise the file shrank since it was opened
        }
        // A large file starts on its way to the disk at once, so that the flush before its
        // rename finds little left to write.
        if (size > kChunk)
            (void)sync_file_range(out, copied, n, SYNC_FILE_RANGE_WRITE);
        copied += n;
        progress(n);
        if (m_control.isCancelled())
            return DataResult::Cancelled;
    }
    if (kernel)
        return DataResult::Done;

    // Pseudo files report size 0 yet have content: read those to their end as well.
    if (m_buffer.empty())
        m_buffer.resize(kBufferSize);
    for (;;) {
        const ssize_t n = ::read(in, m_buffer.data(), m_buffer.size());
        if (n == 0)
            return DataResult::Done;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return DataResult::ReadFailed;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, m_buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                *error = errno;
                return DataResult::WriteFailed;
            }
            done += w;
        }
        copied += n;
        progress(n);
        if (m_control.isCancelled())
            return DataResult::Cancelled;
    }
}

// Decides, before any byte is copied, whether the item goes and under which name.
bool CopyRun::settleClash(const Target &target, ClashPolicy policy, QByteArray &name, Done &done,
                          qint64 plannedBytes)
{
    name = target.name;
    if (target.freshFolder)
        return true;
    const int folderFd = target.folder->fd.get();
    struct stat st {};
    if (fstatat(folderFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return true;
    if (S_ISDIR(st.st_mode)) {
        progress(plannedBytes);
        settle(done, CopiedFile::Fate::TargetFailed,
               QStringLiteral("A folder of that name is in the way"));
        return false;
    }
    switch (policy) {
    case ClashPolicy::Replace:
        return true;
    case ClashPolicy::Skip:
        progress(plannedBytes);
        settle(done, CopiedFile::Fate::Skipped);
        return false;
    case ClashPolicy::Fail:
        progress(plannedBytes);
        settle(done, CopiedFile::Fate::TargetFailed, QStringLiteral("A file of that name exists"));
        return false;
    case ClashPolicy::KeepBoth: {
        auto [free, error] = freeName(folderFd, name, 2);
        if (error != 0) {
            progress(plannedBytes);
            settle(done, CopiedFile::Fate::TargetFailed,
                   QStringLiteral("No free numbered name: %1").arg(systemErrorText(error)));
            return false;
        }
        name = free;
        return true;
    }
    }
    return true;
}

void CopyRun::copyFile(const Source &source, const Target &target, ClashPolicy policy,
                       qint64 plannedBytes, Done done)
{
    QByteArray name;
    if (!settleClash(target, policy, name, done, plannedBytes))
        return;
    UniqueFd in(openat(source.folderFd, source.name.constData(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!in || fstat(in.get(), &st) != 0) {
        const int error = errno;
        progress(plannedBytes);
        settle(done, CopiedFile::Fate::SourceFailed, systemErrorText(error));
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        progress(plannedBytes);
        settle(done, CopiedFile::Fate::SourceFailed, QStringLiteral("No longer a regular file"));
        return;
    }

    const int folderFd = target.folder->fd.get();
    UniqueFd out;
    QByteArray temp;
    do {
        temp = temporaryName();
        out.reset(openat(folderFd, temp.constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    } while (!out && errno == EEXIST);
    if (!out) {
        const int error = errno;
        progress(plannedBytes);
        settle(done, CopiedFile::Fate::TargetFailed, systemErrorText(error));
        return;
    }

    int error = 0;
    qint64 bytes = 0;
    const DataResult copied = copyData(in.get(), out.get(), st.st_size, bytes, &error);
    if (copied == DataResult::Done) {
        (void)fchmod(out.get(), st.st_mode & 0777);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        (void)futimens(out.get(), times);
        // Network file systems may report a failed write only when the file is closed.
        if (::close(out.release()) != 0) {
            error = errno;
            unlinkat(folderFd, temp.constData(), 0);
            settle(done, CopiedFile::Fate::TargetFailed, systemErrorText(error));
            return;
        }
    } else {
        out.reset();
        unlinkat(folderFd, temp.constData(), 0);
        if (copied == DataResult::ReadFailed)
            settle(done, CopiedFile::Fate::SourceFailed, systemErrorText(error));
        else if (copied == DataResult::WriteFailed)
            settle(done, CopiedFile::Fate::TargetFailed, systemErrorText(error));
        else
            settle(done, CopiedFile::Fate::Cancelled);
        return;
    }
    enqueue(pendingFor(target, temp, name, policy, bytes, false, std::move(done)));
}

void CopyRun::copyLink(const Source &source, const Target &target, ClashPolicy policy, Done done)
{
    QByteArray name;
    if (!settleClash(target, policy, name, done, 0))
        return;
    QByteArray text(256, '\0');
    for (;;) {
        const ssize_t n = readlinkat(source.folderFd, source.name.constData(), text.data(),
                                     static_cast<size_t>(text.size()));
        if (n < 0) {
            settle(done, CopiedFile::Fate::SourceFailed, systemErrorText(errno));
            return;
        }
        if (n < text.size()) {
            text.truncate(n);
            break;
        }
        text.resize(text.size() * 4);
    }
    struct stat st {};
    const bool haveTimes =
        fstatat(source.folderFd, source.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;

    const int folderFd = target.folder->fd.get();
    QByteArray temp;
    int made = -1;
    do {
        temp = temporaryName();
        made = symlinkat(text.constData(), folderFd, temp.constData());
    } while (made != 0 && errno == EEXIST);
    if (made != 0) {
        settle(done, CopiedFile::Fate::TargetFailed, systemErrorText(errno));
        return;
    }
    if (haveTimes) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        (void)utimensat(folderFd, temp.constData(), times, AT_SYMLINK_NOFOLLOW);
    }
    enqueue(pendingFor(target, temp, name, policy, 0, true, std::move(done)));
}

void CopyRun::placeWritten(int folderFd, const QString &folderPath, const QByteArray &temp,
                           const QByteArray &name, const QString &targetPath, Done done)
{
    // The files of one folder share one open folder, so that a batch counts it once.
    struct stat st {};
    TargetFolderRef folder;
    if (fstat(folderFd, &st) == 0)
        folder = m_writersFolders[{st.st_dev, st.st_ino}].lock();
    if (!folder) {
        folder = std::make_shared<TargetFolder>();
        folder->fd.reset(fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
        folder->path = folderPath;
        folder->device = st.st_dev;
        folder->inode = st.st_ino;
        if (!folder->fd) {
            const int error = errno;
            unlinkat(folderFd, temp.constData(), 0);
            if (done) {
                CopiedFile result;
                result.fate = CopiedFile::Fate::TargetFailed;
                result.reason = systemErrorText(error);
                result.error = error;
                done(result);
            } else {
                m_control.fail(targetPath, systemErrorText(error));
            }
            return;
        }
        m_writersFolders[{st.st_dev, st.st_ino}] = folder;
    }
    placeWritten(folder, temp, name, targetPath, std::move(done));
}

void CopyRun::placeWritten(const TargetFolderRef &folder, const QByteArray &temp,
                           const QByteArray &name, const QString &targetPath, Done done)
{
    Pending pending;
    pending.folder = folder;
    pending.temp = temp;
    pending.name = name;
    pending.wanted = name;
    if (done) {
        pending.done = std::move(done);
    } else {
        pending.done = [this, targetPath](const CopiedFile &result) {
            if (result.fate != CopiedFile::Fate::Placed)
                m_control.fail(targetPath, result.reason);
        };
    }
    enqueue(std::move(pending));
}

void CopyRun::then(std::function<void()> action)
{
    if (m_pending.empty()) {
        action();
        return;
    }
    Pending pending;
    pending.action = std::move(action);
    m_pending.push_back(std::move(pending));
}

CopyRun::Pending CopyRun::pendingFor(const Target &target, const QByteArray &temp,
                                     const QByteArray &name, ClashPolicy policy, qint64 bytes,
                                     bool link, Done done)
{
    Pending pending;
    pending.folder = target.folder;
    pending.temp = temp;
    pending.name = name;
    pending.wanted = target.name;
    pending.policy = policy;
    pending.mayClash = !target.freshFolder;
    pending.link = link;
    pending.bytes = bytes;
    pending.done = std::move(done);
    return pending;
}

void CopyRun::enqueue(Pending pending)
{
    if (m_pendingFiles == 0)
        m_oldest = std::chrono::steady_clock::now();
    if (pending.folder->batch != m_batch) {
        pending.folder->batch = m_batch;
        ++m_pendingFolders;
    }
    ++m_pendingFiles;
    m_pendingBytes += pending.bytes;
    m_pending.push_back(std::move(pending));
    if (m_pendingFiles >= kBatchFiles || m_pendingBytes >= kBatchBytes ||
        m_pendingFolders >= m_maxPendingFolders ||
        std::chrono::steady_clock::now() - m_oldest >= kBatchAge)
        flush();
}

void CopyRun::flush()
{
    if (m_pending.empty())
        return;
    std::vector<Pending> batch;
    batch.swap(m_pending);
    m_pendingFiles = 0;
    m_pendingFolders = 0;
    m_pendingBytes = 0;
    ++m_batch;

    // One syncfs per file system that holds files of the batch; a file system that may ignore
    // it gets one fdatasync per file instead.
    std::vector<int> syncError(batch.size(), 0);
    std::map<dev_t, int> fileSystems; // device -> error of its syncfs; -1: per file
    for (size_t i = 0; i < batch.size(); ++i) {
        const Pending &p = batch[i];
        if (p.action || p.link)
            continue;
        auto [at, added] = fileSystems.emplace(p.folder->device, 0);
        if (added) {
            const int fd = p.folder->fd.get();
            at->second = !syncfsFlushesFiles(fd) ? -1 : ::syncfs(fd) == 0 ? 0 : errno;
            // The names placed before this batch went out with it.
            if (at->second == 0)
                m_awaitingSync.erase(p.folder->device);
        }
        if (at->second > 0) {
            syncError[i] = at->second;
        } else if (at->second < 0) {
            const UniqueFd file(
                openat(p.folder->fd.get(), p.temp.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (!file || (fdatasync(file.get()) != 0 && errno != EINVAL))
                syncError[i] = errno;
        }
    }
    for (size_t i = 0; i < batch.size(); ++i) {
        if (batch[i].action)
            batch[i].action();
        else
            place(batch[i], syncError[i]);
    }
    batch.clear();
    flushFolders(false);
}

void CopyRun::place(Pending &p, int syncError)
{
    const int folderFd = p.folder->fd.get();
    CopiedFile result;
    result.bytes = p.bytes;
    const auto failed = [&](int error, const QString &reason = QString()) {
        unlinkat(folderFd, p.temp.constData(), 0);
        result.fate = CopiedFile::Fate::TargetFailed;
        result.reason = reason.isEmpty() ? systemErrorText(error) : reason;
        result.error = error;
        p.done(result);
    };
    if (syncError != 0) {
        failed(syncError,
               QStringLiteral("Not written to the disk: %1").arg(systemErrorText(syncError)));
        return;
    }
    if (p.policy == ClashPolicy::Replace) {
        struct stat st {};
        result.replaced =
            p.mayClash && fstatat(folderFd, p.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (renameat(folderFd, p.temp.constData(), folderFd, p.name.constData()) != 0) {
            failed(errno);
            return;
        }
    } else {
        // The other policies never overwrite, even when an entry appeared since the check.
        for (int n = 2;; ++n) {
            if (n > 10000) {
                failed(EEXIST, QStringLiteral("A file of that name exists"));
                return;
            }
            if (renameat2(folderFd, p.temp.constData(), folderFd, p.name.constData(),
                          RENAME_NOREPLACE) == 0)
                break;
            int error = errno;
            if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
                // The file system cannot refuse a replacement: check first instead.
                struct stat st {};
                if (fstatat(folderFd, p.name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                    error = EEXIST;
                else if (renameat(folderFd, p.temp.constData(), folderFd, p.name.constData()) == 0)
                    break;
                else
                    error = errno;
            }
            if (error == EEXIST && p.policy == ClashPolicy::KeepBoth) {
                auto [free, freeError] = freeName(folderFd, p.wanted, n);
                if (freeError == 0) {
                    p.name = free;
                    continue;
                }
                error = freeError;
            }
            if (error == EEXIST && p.policy == ClashPolicy::Skip) {
                unlinkat(folderFd, p.temp.constData(), 0);
                result.fate = CopiedFile::Fate::Skipped;
                p.done(result);
                return;
            }
            failed(error,
                   error == EEXIST ? QStringLiteral("A file of that name exists") : QString());
            return;
        }
    }
    markDirty(p.folder);
    result.fate = CopiedFile::Fate::Placed;
    result.name = p.name;
    p.done(result);
}

void CopyRun::markDirty(const TargetFolderRef &folder)
{
    if (m_dirtyIds.emplace(folder->device, folder->inode).second)
        m_dirty.push_back(folder);
}

void CopyRun::flushFolders(bool all)
{
    // A folder nobody else holds any more will get no new name in this run: flush it now, so
    // that the descriptors stay few. The rest wait for the end of the run.
    auto keep = m_dirty.begin();
    for (auto it = m_dirty.begin(); it != m_dirty.end(); ++it) {
        TargetFolderRef &folder = *it;
        if (!all && folder.use_count() > 1) {
            *keep++ = std::move(folder);
            continue;
        }
        m_dirtyIds.erase({folder->device, folder->inode});
        // One syncfs later writes the names of every such folder at once, where a flush per
        // folder would cost a disk flush each.
        if (syncfsFlushesFiles(folder->fd.get())) {
            AwaitingSync &awaiting = m_awaitingSync[folder->device];
            if (!awaiting.fd)
                awaiting.fd = UniqueFd(fcntl(folder->fd.get(), F_DUPFD_CLOEXEC, 0));
            if (awaiting.fd) {
                awaiting.paths.push_back(folder->path);
                continue;
            }
        }
        if (::fsync(folder->fd.get()) != 0 && errno != EINVAL && errno != EROFS) {
            const int error = errno;
            m_control.fail(folder->path, QStringLiteral("The folder could not be written to the "
                                                        "disk: %1")
                                             .arg(systemErrorText(error)));
        }
    }
    m_dirty.erase(keep, m_dirty.end());
    if (all)
        syncAwaitingFolders();
}

void CopyRun::syncAwaitingFolders()
{
    for (const auto &[device, awaiting] : m_awaitingSync) {
        if (::syncfs(awaiting.fd.get()) == 0 || errno == EINVAL || errno == EROFS)
            continue;
        const int error = errno;
        for (const QString &path : awaiting.paths)
            m_control.fail(path, QStringLiteral("The folder could not be written to the disk: %1")
                                     .arg(systemErrorText(error)));
    }
    m_awaitingSync.clear();
}

void CopyRun::finish()
{
    flush();
    flushFolders(true);
}

} // namespace quenda
