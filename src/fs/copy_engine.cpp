#include "fs/copy_engine.h"

#include "fs/fresh_folder.h"
#include "fs/item_pacer.h"
#include "fs/native_path.h"
#include "fs/unique_fd.h"

#include <QDir>
#include <QStringList>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

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

void CopyPlan::forEachFile(
    const std::function<void(size_t, const QString &, const QString &)> &visit) const
{
    // The paths of the folders above the step at hand, one per depth.
    std::vector<std::pair<QString, QString>> folders;
    for (size_t i = 0; i < steps.size(); ++i) {
        const CopyStep &step = steps[i];
        if (step.depth == 0) {
            folders.assign(1, {source, target});
            if (step.kind != CopyStepKind::MakeFolder)
                visit(i, source, target);
            continue;
        }
        folders.resize(static_cast<size_t>(step.depth));
        const QString name = fromNativePath(step.name);
        const auto &[above, aboveTarget] = folders.back();
        QString from = above + QLatin1Char('/') + name;
        QString to = aboveTarget + QLatin1Char('/') + name;
        if (step.kind == CopyStepKind::MakeFolder)
            folders.emplace_back(std::move(from), std::move(to));
        else
            visit(i, from, to);
    }
}

Result<CopyPlan> planCopy(const QString &source, const QString &target, ClashPolicy policy,
                          JobControl &control, bool parentComesLater)
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
    const bool parentThere = stat(dst.parent.constData(), &pst) == 0;
    if ((!parentThere && (!parentComesLater || errno != ENOENT)) ||
        (parentThere && !S_ISDIR(pst.st_mode))) {
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
    options.otherMounts = true;
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
    Executor(const CopyPlan &plan, JobControl &control, CopyTally tally)
        : m_plan(plan), m_control(control), m_tally(tally), m_run(control)
    {
    }

    CopyOutcome run()
    {
        const NativeSplit src = splitNative(m_plan.source);
        const NativeSplit dst = splitNative(m_plan.target);
        m_rootSourceName = src.name;
        m_rootTargetName = dst.name;
        if (m_tally == CopyTally::ThisPlan) {
            m_control.setTotal(m_plan.totalBytes);
            m_control.setDone(0);
        }

        Level top;
        top.src.reset(::open(src.parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!top.src) {
            m_control.fail(m_plan.source, reasonFor(errno));
            return m_out;
        }
        // The user named the target's folder: a link there is followed, as for the source.
        auto [folder, error] =
            m_run.openFolder(AT_FDCWD, dst.parent, fromNativePath(dst.parent), true);
        if (!folder) {
            m_control.fail(m_plan.target, reasonFor(error));
            return m_out;
        }
        top.dst = std::move(folder);
        top.path = fromNativePath(dst.parent);
        if (!m_plan.steps.empty() && m_plan.steps.front().kind != CopyStepKind::MakeFolder)
            m_run.writingInto(top.dst);
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
            case CopyStepKind::CopyLink:
                copyEntry(i);
                break;
            }
        }
        closeLevelsBelow(0);
        m_levels.clear();
        // Everything copied is placed and on the disk before the outcome is told.
        m_run.finish();
        m_out.cancelled = m_out.cancelled || m_control.stoppedEarly();
        return m_out;
    }

private:
    // An open folder on both sides; levels[d] holds the steps of depth d.
    struct Level {
        UniqueFd src;
        TargetFolderRef dst;
        QString path;       // of dst, for messages
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
                m_run.then([folder = level.dst, mode = s.mode, accessed = s.accessed,
                            modified = s.modified] {
                    (void)fchmod(folder->fd.get(), mode & 0777);
                    const timespec times[2] = {timespecOf(accessed), timespecOf(modified)};
                    (void)futimens(folder->fd.get(), times);
                });
            }
            m_levels.pop_back();
        }
    }

    void failTarget(size_t i, int error) { m_control.fail(m_plan.targetPath(i), reasonFor(error)); }
    void failSource(size_t i, int error) { m_control.fail(m_plan.sourcePath(i), reasonFor(error)); }

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
        if (mkdirat(parent.dst->fd.get(), name.constData(), (step.mode & 0777) | S_IRWXU) == 0) {
            level.fresh = true;
            m_run.madeFolderIn(parent.dst);
            ++m_out.foldersMade;
        } else if (errno != EEXIST) {
            failTarget(i, errno);
            return false;
        }
        level.path = m_plan.targetPath(i);
        auto [folder, error] = m_run.openFolder(parent.dst->fd.get(), name, level.path);
        if (!folder) {
            // ENOTDIR or ELOOP: a file or a link stands where the folder goes.
            if (error == ENOTDIR || error == ELOOP)
                m_control.fail(level.path,
                               QStringLiteral("A file or link of that name is in the way"));
            else
                failTarget(i, error);
            return false;
        }
        level.dst = std::move(folder);
        if (!level.fresh)
            m_run.writingInto(level.dst);
        m_levels.push_back(std::move(level));
        return true;
    }

    void copyEntry(size_t i)
    {
        const CopyStep &step = m_plan.steps[i];
        const Level &parent = m_levels[static_cast<size_t>(step.depth)];
        const CopyRun::Source source{parent.src.get(), sourceName(step)};
        const CopyRun::Target target{parent.dst, targetName(step), parent.fresh};
        const bool link = step.kind == CopyStepKind::CopyLink;
        auto done = [this, i, link, folder = parent.path](const CopiedFile &result) {
            settled(i, link, folder, result);
        };
        if (link)
            m_run.copyLink(source, target, m_plan.policy, std::move(done));
        else
            m_run.copyFile(source, target, m_plan.policy, step.size, std::move(done));
    }

    void settled(size_t i, bool link, const QString &folder, const CopiedFile &result)
    {
        switch (result.fate) {
        case CopiedFile::Fate::Placed:
            if (link) {
                ++m_out.linksCopied;
            } else {
                ++m_out.filesCopied;
                m_out.bytesCopied += result.bytes;
            }
            if (result.replaced)
                m_out.replaced.push_back(m_plan.targetPath(i));
            if (result.name != targetName(m_plan.steps[i]))
                m_out.renamed.push_back(folder + QLatin1Char('/') + fromNativePath(result.name));
            break;
        case CopiedFile::Fate::Skipped:
            ++m_out.skipped;
            break;
        case CopiedFile::Fate::SourceFailed:
            m_control.fail(m_plan.sourcePath(i), result.reason);
            break;
        case CopiedFile::Fate::TargetFailed:
            m_control.fail(m_plan.targetPath(i), result.reason);
            break;
        case CopiedFile::Fate::Cancelled:
            break;
        }
    }

    const CopyPlan &m_plan;
    JobControl &m_control;
    CopyTally m_tally;
    CopyOutcome m_out;
    std::vector<Level> m_levels;
    QByteArray m_rootSourceName;
    QByteArray m_rootTargetName;
    ItemPacer m_pacer;
    CopyRun m_run; // last: its end may still settle items into m_out
};

} // namespace

QHash<QString, QString> sharedTargets(const std::vector<CopyPlan> &plans)
{
    std::vector<bool> meets(plans.size(), false);
    for (size_t i = 0; i < plans.size(); ++i)
        for (size_t j = i + 1; j < plans.size(); ++j) {
            const QString &a = plans[i].target;
            const QString &b = plans[j].target;
            if (a == b || a.startsWith(b + QLatin1Char('/')) || b.startsWith(a + QLatin1Char('/')))
                meets[i] = meets[j] = true;
        }
    QHash<QString, QString> first;
    QHash<QString, QString> shared;
    for (size_t i = 0; i < plans.size(); ++i) {
        if (!meets[i])
            continue;
        plans[i].forEachFile([&](size_t, const QString &source, const QString &target) {
            const auto known = first.constFind(target);
            if (known == first.constEnd())
                first.insert(target, source);
            else if (*known != source && !shared.contains(target))
                shared.insert(target, *known);
        });
    }
    return shared;
}

QString replacementsText(const std::vector<CopyReplacement> &replaced, int shown)
{
    QStringList collisions;
    QStringList earlier;
    for (const CopyReplacement &r : replaced) {
        if (r.earlier.isEmpty())
            earlier << QDir::toNativeSeparators(r.target);
        else
            collisions << QStringLiteral("%1: %2 replaced the copy of %3")
                              .arg(QDir::toNativeSeparators(r.target),
                                   QDir::toNativeSeparators(r.by),
                                   QDir::toNativeSeparators(r.earlier));
    }
    const auto section = [shown](const QString &heading, const QStringList &lines) {
        QStringList out{heading};
        const qsizetype listed =
            shown > 0 ? std::min<qsizetype>(shown, lines.size()) : lines.size();
        out << lines.first(listed);
        if (listed < lines.size())
            out << QStringLiteral("and %1 more").arg(lines.size() - listed);
        return out.join(QLatin1Char('\n'));
    };
    QStringList parts;
    if (!collisions.isEmpty())
        parts << section(collisions.size() == 1
                             ? QStringLiteral("1 copy replaced a file of the same name from "
                                              "another folder:")
                             : QStringLiteral("%1 copies replaced a file of the same name from "
                                              "another folder:")
                                   .arg(collisions.size()),
                         collisions);
    if (!earlier.isEmpty())
        parts << section(earlier.size() == 1
                             ? QStringLiteral("1 copy replaced a file that was already there:")
                             : QStringLiteral("%1 copies replaced files that were already there:")
                                   .arg(earlier.size()),
                         earlier);
    return parts.join(QStringLiteral("\n\n"));
}

CopyOutcome executeCopy(const CopyPlan &plan, JobControl &control, CopyTally tally)
{
    Executor executor(plan, control, tally);
    return executor.run();
}

} // namespace quenda
