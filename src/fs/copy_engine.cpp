#include "fs/copy_engine.h"

#include "fs/fresh_folder.h"
#include "fs/item_pacer.h"
#include "fs/native_path.h"
#include "fs/unique_fd.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr qint64 kKernelChunk = 16 * 1024 * 1024; // cancel is polled between chunks
constexpr size_t kBufferSize = 1024 * 1024;

struct NativeSplit {
    QByteArray full;
    QByteArray parent;
    QByteArray name;
};

NativeSplit splitNative(const QString &path)
{
    NativeSplit out;
    out.full = toNativePath(path);
    while (out.full.size() > 1 && out.full.endsWith('/'))
        out.full.chop(1);
    const qsizetype slash = out.full.lastIndexOf('/');
    out.parent = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : out.full.left(slash);
    out.name = out.full.mid(slash + 1);
    return out;
}

bool usableName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != "..";
}

QString reasonFor(int error)
{
    return systemErrorText(error);
}

CopyStepKind stepKindFor(mode_t mode)
{
    return S_ISDIR(mode)   ? CopyStepKind::MakeFolder
           : S_ISLNK(mode) ? CopyStepKind::CopyLink
                           : CopyStepKind::CopyFile;
}

CopyStepKind stepKindFor(EntryKind kind)
{
    return kind == EntryKind::Folder ? CopyStepKind::MakeFolder
           : kind == EntryKind::Link ? CopyStepKind::CopyLink
                                     : CopyStepKind::CopyFile;
}

FileTime timeOf(const timespec &t)
{
    return FileTime{t.tv_sec, static_cast<quint32>(t.tv_nsec), true};
}

timespec timespecOf(const FileTime &t)
{
    timespec out{};
    out.tv_sec = t.seconds;
    out.tv_nsec = t.valid ? static_cast<long>(t.nanoseconds) : UTIME_OMIT;
    return out;
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

} // namespace

QString CopyPlan::sourcePath(size_t index) const
{
    if (index >= steps.size() || steps[index].parent < 0)
        return source;
    return sourcePath(static_cast<size_t>(steps[index].parent)) + QLatin1Char('/') +
           fromNativePath(steps[index].name);
}

QString CopyPlan::targetPath(size_t index) const
{
    if (index >= steps.size() || steps[index].parent < 0)
        return target;
    return targetPath(static_cast<size_t>(steps[index].parent)) + QLatin1Char('/') +
           fromNativePath(steps[index].name);
}

Result<CopyPlan> planCopy(const QString &source, const QString &target, ClashPolicy policy,
                          JobControl &control)
{
    CopyPlan plan;
    plan.source = source;
    plan.target = target;
    plan.policy = policy;
    const NativeSplit src = splitNative(source);
    const NativeSplit dst = splitNative(target);
    if (!usableName(src.name))
        return fail(QStringLiteral("Cannot copy %1: not a file or folder name").arg(source),
                    EINVAL);
    if (!usableName(dst.name))
        return fail(QStringLiteral("Cannot copy to %1: not a file or folder name").arg(target),
                    EINVAL);

    struct stat sst {};
    if (lstat(src.full.constData(), &sst) != 0) {
        const int error = errno;
        return fail(QStringLiteral("Cannot copy %1: %2").arg(source, reasonFor(error)), error);
    }
    struct stat pst {};
    if (stat(dst.parent.constData(), &pst) != 0 || !S_ISDIR(pst.st_mode)) {
        const int error = errno ? errno : ENOTDIR;
        return fail(QStringLiteral("Cannot copy to %1: the folder %2 is not there (%3)")
                        .arg(target, fromNativePath(dst.parent), reasonFor(error)),
                    error);
    }
    struct stat tst {};
    const bool targetExists = lstat(dst.full.constData(), &tst) == 0;

    CopyStep root{stepKindFor(sst.st_mode),
                  0,
                  -1,
                  QByteArray(),
                  S_ISREG(sst.st_mode) ? static_cast<qint64>(sst.st_size) : 0,
                  sst.st_mode,
                  timeOf(sst.st_mtim),
                  timeOf(sst.st_atim)};

    if (S_ISDIR(sst.st_mode)) {
        if (targetExists && !S_ISDIR(tst.st_mode))
            return fail(QStringLiteral("Cannot copy %1 to %2: %2 exists and is not a folder")
                            .arg(source, target),
                        ENOTDIR);
        if (folderHolds(sst.st_dev, sst.st_ino, dst.full))
            return fail(
                QStringLiteral("Cannot copy the folder %1 into itself (%2)").arg(source, target),
                EINVAL);
        plan.mergesIntoExisting = targetExists;
    } else if (S_ISREG(sst.st_mode) || S_ISLNK(sst.st_mode)) {
        if (targetExists && S_ISDIR(tst.st_mode))
            return fail(QStringLiteral("Cannot copy %1 to %2: %2 is a folder").arg(source, target),
                        EISDIR);
        if (targetExists && tst.st_dev == sst.st_dev && tst.st_ino == sst.st_ino)
            return fail(QStringLiteral("Cannot copy %1 onto itself").arg(source), EINVAL);
    } else {
        return fail(
            QStringLiteral("Cannot copy %1: it is not a file, a folder or a link").arg(source),
            EINVAL);
    }

    plan.steps.push_back(root);
    plan.totalBytes = root.size;
    plan.fileCount = root.kind == CopyStepKind::CopyFile ? 1 : 0;
    if (root.kind != CopyStepKind::MakeFolder)
        return plan;

    ScanOptions options;
    options.folders = true;
    options.metadata = true;
    std::vector<qint32> folderAt{0}; // folderAt[d]: the folder step holding steps at depth d + 1
    const Result<ScanSummary> walked =
        scanTree(source, options, control, [&](const ScanEntry &entry) {
            if (entry.meta.kind == EntryKind::Other) {
                control.fail(entry.path(),
                             QStringLiteral("Not copied: a pipe, socket or device file"));
                return true;
            }
            const int depth = entry.depth + 1;
            CopyStep step{stepKindFor(entry.meta.kind),
                          depth,
                          folderAt[depth - 1],
                          entry.nativeName.toByteArray(),
                          entry.meta.kind == EntryKind::File ? entry.meta.size : 0,
                          entry.meta.mode,
                          entry.meta.modified,
                          entry.meta.accessed};
            if (step.kind == CopyStepKind::CopyFile) {
                plan.totalBytes += step.size;
                ++plan.fileCount;
            }
            plan.steps.push_back(std::move(step));
            if (entry.meta.kind == EntryKind::Folder) {
                folderAt.resize(depth + 1);
                folderAt[depth] = static_cast<qint32>(plan.steps.size() - 1);
            }
            return true;
        });
    if (!walked)
        return walked.error();
    if (walked->stopped)
        return fail(QStringLiteral("Planning the copy of %1 was cancelled").arg(source), ECANCELED);
    return plan;
}

namespace {

class Executor {
public:
    Executor(const CopyPlan &plan, JobControl &control, CopyCounters *counters)
        : m_plan(plan), m_control(control), m_counters(counters)
    {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int i = 0; i < 6; ++i)
            m_runId += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    }

    CopyOutcome run()
    {
        const NativeSplit src = splitNative(m_plan.source);
        const NativeSplit dst = splitNative(m_plan.target);
        m_rootSourceName = src.name;
        m_rootTargetName = dst.name;
        m_control.setTotal(m_plan.totalBytes);
        m_control.setDone(0);

        Level top;
        top.src.reset(::open(src.parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!top.src) {
            m_control.fail(m_plan.source, reasonFor(errno));
            return m_out;
        }
        top.dst.reset(::open(dst.parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!top.dst) {
            m_control.fail(m_plan.target, reasonFor(errno));
            return m_out;
        }
        m_levels.push_back(std::move(top));

        int skipBelow = INT_MAX; // steps deeper than this lie in a folder that failed
        for (size_t i = 0; i < m_plan.steps.size(); ++i) {
            if (m_control.isCancelled()) {
                m_out.cancelled = true;
                break;
            }
            const CopyStep &step = m_plan.steps[i];
            if (step.depth > skipBelow)
                continue;
            skipBelow = INT_MAX;
            closeLevelsBelow(step.depth);
            if (m_pacer.due())
                m_control.setItem(m_plan.sourcePath(i));
            switch (step.kind) {
            case CopyStepKind::MakeFolder:
                if (!makeFolder(i))
                    skipBelow = step.depth;
                break;
            case CopyStepKind::CopyFile:
                copyFile(i);
                break;
            case CopyStepKind::CopyLink:
                copyLink(i);
                break;
            }
        }
        closeLevelsBelow(0);
        m_out.cancelled = m_out.cancelled || m_control.isCancelled();
        return m_out;
    }

private:
    // An open folder on both sides; levels[d] holds the steps of depth d.
    struct Level {
        UniqueFd src;
        UniqueFd dst;
        bool fresh = false; // made by this copy, so nothing in it can clash
        qint32 step = -1;   // the MakeFolder step that opened it
    };

    const QByteArray &sourceName(const CopyStep &s) const
    {
        return s.depth == 0 ? m_rootSourceName : s.name;
    }
    const QByteArray &targetName(const CopyStep &s) const
    {
        return s.depth == 0 ? m_rootTargetName : s.name;
    }

    void closeLevelsBelow(int depth)
    {
        while (m_levels.size() > static_cast<size_t>(depth) + 1) {
            Level &level = m_levels.back();
            if (level.fresh && level.step >= 0) {
                // A folder gets its own rights and time only after its content is in: a
                // read-only source folder must not stop the copy of its files.
                const CopyStep &s = m_plan.steps[static_cast<size_t>(level.step)];
                (void)fchmod(level.dst.get(), s.mode & 0777);
                const timespec times[2] = {timespecOf(s.accessed), timespecOf(s.modified)};
                (void)futimens(level.dst.get(), times);
            }
            m_levels.pop_back();
        }
    }

    void failTarget(size_t i, int error) { m_control.fail(m_plan.targetPath(i), reasonFor(error)); }
    void failSource(size_t i, int error) { m_control.fail(m_plan.sourcePath(i), reasonFor(error)); }

    void progress(qint64 bytes)
    {
        m_control.advance(bytes);
        if (m_counters)
            m_counters->bytes.fetch_add(bytes, std::memory_order_relaxed);
    }

    bool makeFolder(size_t i)
    {
        const CopyStep &step = m_plan.steps[i];
        Level &parent = m_levels[static_cast<size_t>(step.depth)];
        Level level;
        level.step = static_cast<qint32>(i);
        level.src.reset(openat(parent.src.get(), sourceName(step).constData(), kDirFlags));
        if (!level.src) {
            failSource(i, errno);
            return false;
        }
        const QByteArray &name = targetName(step);
        if (mkdirat(parent.dst.get(), name.constData(), (step.mode & 0777) | S_IRWXU) == 0) {
            level.fresh = true;
            ++m_out.foldersMade;
        } else if (errno != EEXIST) {
            failTarget(i, errno);
            return false;
        }
        level.dst.reset(openat(parent.dst.get(), name.constData(), kDirFlags));
        if (!level.dst) {
            // ENOTDIR or ELOOP: a file or a link stands where the folder goes.
            if (errno == ENOTDIR || errno == ELOOP)
                m_control.fail(m_plan.targetPath(i),
                               QStringLiteral("A file or link of that name is in the way"));
            else
                failTarget(i, errno);
            return false;
        }
        m_levels.push_back(std::move(level));
        return true;
    }

    // Decides, before any byte is copied, where the item goes. Returns false when it is not
    // to be copied at all (skipped or failed); finalName is the name to rename to.
    bool resolveClash(size_t i, const Level &parent, QByteArray &finalName, bool &existed)
    {
        const CopyStep &step = m_plan.steps[i];
        finalName = targetName(step);
        existed = false;
        if (parent.fresh)
            return true;
        struct stat st {};
        if (fstatat(parent.dst.get(), finalName.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        if (S_ISDIR(st.st_mode)) {
            m_control.fail(m_plan.targetPath(i),
                           QStringLiteral("A folder of that name is in the way"));
            progress(step.size);
            return false;
        }
        switch (m_plan.policy) {
        case ClashPolicy::Replace:
            existed = true;
            return true;
        case ClashPolicy::Skip:
            ++m_out.skipped;
            progress(step.size);
            return false;
        case ClashPolicy::Fail:
            m_control.fail(m_plan.targetPath(i), QStringLiteral("A file of that name exists"));
            progress(step.size);
            return false;
        case ClashPolicy::KeepBoth:
            finalName = freeName(parent.dst.get(), finalName);
            return true;
        }
        return true;
    }

    QByteArray freeName(int dirFd, const QByteArray &name, int from = 2)
    {
        for (int n = from;; ++n) {
            const QByteArray candidate = numberedName(name, n);
            struct stat st {};
            if (fstatat(dirFd, candidate.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
                errno == ENOENT)
                return candidate;
        }
    }

    QByteArray temporaryName(const QByteArray &name)
    {
        const QByteArray tail = '.' + m_runId + '-' + QByteArray::number(++m_counter) + ".tmp";
        return '.' + name.left(NAME_MAX - 1 - tail.size()) + tail;
    }

    // Moves the finished temporary entry to its name. Returns false (temporary removed) when
    // it could not be placed; the failure is reported.
    bool place(size_t i, int dirFd, const QByteArray &temp, QByteArray finalName, bool existed)
    {
        const CopyStep &step = m_plan.steps[i];
        if (m_plan.policy == ClashPolicy::Replace) {
            if (renameat(dirFd, temp.constData(), dirFd, finalName.constData()) != 0) {
                failTarget(i, errno);
                unlinkat(dirFd, temp.constData(), 0);
                return false;
            }
            if (existed)
                m_out.replaced.push_back(m_plan.targetPath(i));
            return true;
        }
        // The other policies never overwrite, even when an entry appeared since the check.
        for (int n = 2;; ++n) {
            if (renameat2(dirFd, temp.constData(), dirFd, finalName.constData(),
                          RENAME_NOREPLACE) == 0)
                break;
            int error = errno;
            if (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP) {
                // The file system cannot refuse a replacement: check first instead.
                struct stat st {};
                if (fstatat(dirFd, finalName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                    error = EEXIST;
                else if (renameat(dirFd, temp.constData(), dirFd, finalName.constData()) == 0)
                    break;
                else
                    error = errno;
            }
            if (error == EEXIST && m_plan.policy == ClashPolicy::KeepBoth) {
                finalName = freeName(dirFd, targetName(step), n);
                continue;
            }
            unlinkat(dirFd, temp.constData(), 0);
            if (error == EEXIST && m_plan.policy == ClashPolicy::Skip)
                ++m_out.skipped;
            else if (error == EEXIST)
                m_control.fail(m_plan.targetPath(i), QStringLiteral("A file of that name exists"));
            else
                failTarget(i, error);
            return false;
        }
        if (finalName != targetName(step)) {
            const QString folder = m_plan.targetPath(i).section(QLatin1Char('/'), 0, -2);
            m_out.renamed.push_back(folder + QLatin1Char('/') + fromNativePath(finalName));
        }
        return true;
    }

    enum class CopyResult { Done, ReadFailed, WriteFailed, Cancelled };

    // Copies up to size bytes (to the end where size is 0); copied counts what went over.
    CopyResult copyData(int in, int out, qint64 size, qint64 &copied, int *error)
    {
        copied = 0;
        bool kernel = size > 0;
        while (kernel && copied < size) {
            const ssize_t n =
                copy_file_range(in, nullptr, out, nullptr,
                                static_cast<size_t>(qMin(size - copied, kKernelChunk)), 0);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (copied == 0 && (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP ||
                                    errno == ENOSYS || errno == EBADF)) {
                    kernel = false; // fall back to plain reads and writes
                    break;
                }
                *error = errno;
                return isWriteError(errno) ? CopyResult::WriteFailed : CopyResult::ReadFailed;
            }
            if (n == 0) {
                // Nothing at all: some file systems copy nothing this way; reading tells.
                kernel = copied > 0;
                break; // otherwise the file shrank since it was opened
            }
            copied += n;
            progress(n);
            if (m_control.isCancelled())
                return CopyResult::Cancelled;
        }
        if (kernel)
            return CopyResult::Done;

        // Pseudo files report size 0 yet have content: read those to their end as well.
        if (m_buffer.empty())
            m_buffer.resize(kBufferSize);
        for (;;) {
            const ssize_t n = ::read(in, m_buffer.data(), m_buffer.size());
            if (n == 0)
                return CopyResult::Done;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                *error = errno;
                return CopyResult::ReadFailed;
            }
            for (ssize_t done = 0; done < n;) {
                const ssize_t w =
                    ::write(out, m_buffer.data() + done, static_cast<size_t>(n - done));
                if (w < 0) {
                    if (errno == EINTR)
                        continue;
                    *error = errno;
                    return CopyResult::WriteFailed;
                }
                done += w;
            }
            copied += n;
            progress(n);
            if (m_control.isCancelled())
                return CopyResult::Cancelled;
        }
    }

    static bool isWriteError(int error)
    {
        return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS ||
               error == EPERM;
    }

    void copyFile(size_t i)
    {
        const CopyStep &step = m_plan.steps[i];
        Level &parent = m_levels[static_cast<size_t>(step.depth)];
        QByteArray finalName;
        bool existed = false;
        if (!resolveClash(i, parent, finalName, existed))
            return;

        UniqueFd in(openat(parent.src.get(), sourceName(step).constData(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (!in || fstat(in.get(), &st) != 0) {
            failSource(i, errno);
            progress(step.size);
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            m_control.fail(m_plan.sourcePath(i), QStringLiteral("No longer a regular file"));
            progress(step.size);
            return;
        }

        UniqueFd out;
        QByteArray temp;
        do {
            temp = temporaryName(finalName);
            out.reset(openat(parent.dst.get(), temp.constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        } while (!out && errno == EEXIST);
        if (!out) {
            failTarget(i, errno);
            progress(step.size);
            return;
        }

        int error = 0;
        qint64 bytes = 0;
        const CopyResult copied = copyData(in.get(), out.get(), st.st_size, bytes, &error);
        if (copied == CopyResult::Done) {
            (void)fchmod(out.get(), st.st_mode & 0777);
            const timespec times[2] = {st.st_atim, st.st_mtim};
            (void)futimens(out.get(), times);
            if (::close(out.release()) != 0) {
                error = errno;
                unlinkat(parent.dst.get(), temp.constData(), 0);
                failTarget(i, error);
                return;
            }
        } else {
            out.reset();
            unlinkat(parent.dst.get(), temp.constData(), 0);
            if (copied == CopyResult::ReadFailed)
                failSource(i, error);
            else if (copied == CopyResult::WriteFailed)
                failTarget(i, error);
            return;
        }
        if (!place(i, parent.dst.get(), temp, finalName, existed))
            return;
        ++m_out.filesCopied;
        m_out.bytesCopied += bytes;
        if (m_counters)
            m_counters->files.fetch_add(1, std::memory_order_relaxed);
    }

    void copyLink(size_t i)
    {
        const CopyStep &step = m_plan.steps[i];
        Level &parent = m_levels[static_cast<size_t>(step.depth)];
        QByteArray finalName;
        bool existed = false;
        if (!resolveClash(i, parent, finalName, existed))
            return;

        const QByteArray &name = sourceName(step);
        QByteArray text(256, '\0');
        for (;;) {
            const ssize_t n = readlinkat(parent.src.get(), name.constData(), text.data(),
                                         static_cast<size_t>(text.size()));
            if (n < 0) {
                failSource(i, errno);
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
            fstatat(parent.src.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;

        QByteArray temp;
        int made = -1;
        do {
            temp = temporaryName(finalName);
            made = symlinkat(text.constData(), parent.dst.get(), temp.constData());
        } while (made != 0 && errno == EEXIST);
        if (made != 0) {
            failTarget(i, errno);
            return;
        }
        if (haveTimes) {
            const timespec times[2] = {st.st_atim, st.st_mtim};
            (void)utimensat(parent.dst.get(), temp.constData(), times, AT_SYMLINK_NOFOLLOW);
        }
        if (place(i, parent.dst.get(), temp, finalName, existed))
            ++m_out.linksCopied;
    }

    const CopyPlan &m_plan;
    JobControl &m_control;
    CopyCounters *m_counters;
    CopyOutcome m_out;
    std::vector<Level> m_levels;
    QByteArray m_rootSourceName;
    QByteArray m_rootTargetName;
    QByteArray m_runId;
    quint64 m_counter = 0;
    std::vector<char> m_buffer;
    ItemPacer m_pacer;
};

} // namespace

CopyOutcome executeCopy(const CopyPlan &plan, JobControl &control, CopyCounters *counters)
{
    Executor executor(plan, control, counters);
    return executor.run();
}

} // namespace quenda
