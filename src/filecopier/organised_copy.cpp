#include "filecopier/organised_copy.h"

#include "common/paths.h"
#include "db/database.h"
#include "filecopier/scan_dates.h"
#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/fresh_folder.h"
#include "fs/native_path.h"

#include <QDir>
#include <QHash>

#include <limits>
#include <map>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// A listed link stands for the file it points at: the copy gets that file's bytes.
Result<QString> fileBehind(const QString &source)
{
    const QByteArray native = toNativePath(source);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return fail(systemErrorText(errno), errno);
    if (!S_ISLNK(st.st_mode))
        return source;
    char *resolved = ::realpath(native.constData(), nullptr);
    if (!resolved)
        return fail(systemErrorText(errno), errno);
    const QString target = fromNativePath(QByteArrayView(resolved));
    std::free(resolved);
    return target;
}

QString failureLine(const ItemFailure &failure)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failure.path), failure.reason);
}

// The folders the copy builds below its destination, each made or found once per run.
class FolderBuilder {
public:
    FolderBuilder(CopyRun &run, TargetFolderRef destination, QString destinationPath) : m_run(run)
    {
        m_known.emplace(QString(),
                        Made{std::move(destination), std::move(destinationPath), false, Status()});
    }

    struct Made {
        TargetFolderRef folder;
        QString path;
        bool fresh = false; // made by this run
        Status status;
    };

    // The folder reached through names below the destination; a file or link standing where a
    // folder goes stops it, so that no copy is led out of the destination.
    const Made &reach(const QStringList &names)
    {
        QString key;
        const Made *at = &m_known[QString()];
        for (const QString &name : names) {
            key += QLatin1Char('/') + name.toCaseFolded();
            auto known = m_known.find(key);
            if (known == m_known.end())
                known = m_known.emplace(key, make(*at, name)).first;
            at = &known->second;
            if (!at->status)
                break;
        }
        return *at;
    }

private:
    Made make(const Made &parent, const QString &name)
    {
        Made made;
        const Result<QString> child = safeChildPath(parent.path, name);
        if (!child) {
            made.status = fail(QStringLiteral("no folder can be named \"%1\"").arg(name));
            return made;
        }
        const int parentFd = parent.folder->fd.get();
        QByteArray native = parent.fresh ? QByteArray() : folderNamedAlike(parentFd, name);
        QString path =
            native.isEmpty() ? *child : parent.path + QLatin1Char('/') + fromNativePath(native);
        if (native.isEmpty()) {
            native = toNativePath(name);
            if (::mkdirat(parentFd, native.constData(), 0777) == 0) {
                made.fresh = true;
                m_run.madeFolderIn(parent.folder);
            } else if (errno != EEXIST) {
                made.status = fail(QStringLiteral("the folder %1 cannot be made: %2")
                                       .arg(path, systemErrorText(errno)),
                                   errno);
                return made;
            }
        }
        auto [folder, error] = m_run.openFolder(parentFd, native, path);
        if (!folder) {
            made.status =
                error == ENOTDIR || error == ELOOP
                    ? fail(QStringLiteral("the folder %1 cannot be made: a file or link of that "
                                          "name is in the way")
                               .arg(path),
                           EEXIST)
                    : fail(QStringLiteral("the folder %1 cannot be made: %2")
                               .arg(path, systemErrorText(error)),
                           error);
            return made;
        }
        if (!made.fresh)
            m_run.writingInto(folder);
        made.folder = std::move(folder);
        made.path = std::move(path);
        return made;
    }

    CopyRun &m_run;
    std::map<QString, Made> m_known; // by the case-folded names below the destination
};

} // namespace

Result<PreparedFolder> prepareFileCopierFolder(const QString &base, const QStringList &sources,
                                               LockWait wait, JobControl &control)
{
    if (base.trimmed().isEmpty())
        return fail(QStringLiteral("No destination folder is chosen"), EINVAL);
    return prepareFolderForCopy(withoutTrailingSlash(QDir::fromNativeSeparators(base)) +
                                    QLatin1Char('/') + QLatin1String(kFileCopierFolder),
                                sources, wait, control);
}

QString keepOriginalFolderName(const QString &filePath)
{
    const QString path = QDir::fromNativeSeparators(filePath);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return QString();
    const QString parent = path.left(slash);
    const QString name = parent.mid(parent.lastIndexOf(QLatin1Char('/')) + 1);
    // A leading dot starts a hidden folder's name, not an extension.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

OrganisedCopyOutcome copyIntoFolders(const OrganisedCopyRequest &request, const FactsLookup &facts,
                                     JobControl &control)
{
    OrganisedCopyOutcome outcome;
    control.setTotal(request.sources.size());
    control.setDone(0);
    const QString destination =
        withoutTrailingSlash(QDir::fromNativeSeparators(request.destination));
    if (destination.trimmed().isEmpty()) {
        control.abort(QStringLiteral("No destination folder is chosen"));
        return outcome;
    }
    if (Status made = makeFolderPath(destination); !made) {
        control.abort(made.message());
        return outcome;
    }
    // The progress counts files; the bytes would only confuse it.
    CopyRun run(control, false);
    auto [top, error] = run.openFolder(AT_FDCWD, toNativePath(destination), destination, true);
    if (!top) {
        control.abort(
            QStringLiteral("Cannot copy to %1: %2").arg(destination, systemErrorText(error)));
        return outcome;
    }
    run.writingInto(top);
    FolderBuilder folders(run, top, destination);

    QHash<QString, QString> planned; // target -> the source whose copy goes there last
    QHash<QString, QString> placed;  // target -> the source whose copy is there now
    for (const QString &listed : request.sources) {
        if (control.isCancelled())
            break;
        const QString source = QDir::fromNativeSeparators(listed);
        control.setItem(source);

        QStringList below;
        if (request.layout == CopyLayout::KeepOriginal) {
            const QString name = keepOriginalFolderName(source);
            if (!name.isEmpty())
                below << name;
        } else if (request.layout == CopyLayout::Scheme && request.scheme != FolderScheme::None) {
            const Result<std::optional<OfficeFileFacts>> found = facts(source);
            if (!found) {
                control.abort(
                    QStringLiteral("The recorded files cannot be read: %1").arg(found.message()));
                break;
            }
            if (found->has_value())
                below =
                    schemeFolders(request.scheme, (*found)->type,
                                  parseScanDate((*found)->date, request.locale), request.locale);
        }

        const FolderBuilder::Made &folder = folders.reach(below);
        if (!folder.status) {
            control.fail(source, QStringLiteral("Not copied: ") + folder.status.message());
            control.advance();
            continue;
        }
        const Result<QString> targetPath = safeChildPath(folder.path, localFileName(source));
        if (!targetPath) {
            control.fail(source, QStringLiteral("Not copied: ") + targetPath.message());
            control.advance();
            continue;
        }
        const QString target = *targetPath;
        if (planned.value(target) == source) {
            control.advance(); // the same file listed twice arrives once
            continue;
        }
        const Result<QString> file = fileBehind(source);
        if (!file) {
            control.fail(source, file.message());
            control.advance();
            continue;
        }
        planned.insert(target, source);
        run.copyFile(
            CopyRun::Source{AT_FDCWD, toNativePath(*file)},
            CopyRun::Target{folder.folder, toNativePath(localFileName(source)), folder.fresh},
            ClashPolicy::Replace, 0,
            [&outcome, &placed, &control, source, target](const CopiedFile &result) {
                switch (result.fate) {
                case CopiedFile::Fate::Placed: {
                    ++outcome.copied;
                    const auto earlier = placed.constFind(target);
                    if (earlier != placed.constEnd())
                        outcome.sameName.push_back({target, *earlier, source});
                    else if (result.replaced)
                        outcome.replacedEarlier << target;
                    placed.insert(target, source);
                    break;
                }
                case CopiedFile::Fate::SourceFailed:
                    control.fail(source, result.reason);
                    break;
                case CopiedFile::Fate::TargetFailed:
                    control.fail(target, result.reason);
                    break;
                case CopiedFile::Fate::Skipped:
                case CopiedFile::Fate::Cancelled:
                    break;
                }
            });
        control.advance();
    }
    // Every copy is placed and on the disk before the outcome is told.
    run.finish();
    outcome.cancelled = control.stoppedEarly();
    return outcome;
}

namespace {

// Makes the fresh "File Copier" folder under base and points the request at it; false (with
// the job stopped) when the folder cannot be had, before anything is copied.
bool intoFreshFolder(const QString &base, OrganisedCopyRequest &request, PreparedFolder &prepared,
                     JobControl &control)
{
    Result<PreparedFolder> made =
        prepareFileCopierFolder(base, request.sources, LockWait::Wait, control);
    if (!made) {
        control.abort(made.message());
        return false;
    }
    prepared = std::move(*made);
    request.destination = prepared.path;
    return true;
}

} // namespace

OrganisedCopyOutcome runFileListCopy(OrganisedCopyRequest request, bool intoFileCopierFolder,
                                     JobControl &control)
{
    PreparedFolder prepared; // its lock is held until the copy has ended
    if (intoFileCopierFolder && !intoFreshFolder(request.destination, request, prepared, control))
        return {};
    // These layouts never ask for the recorded facts.
    return copyIntoFolders(
        request,
        [](const QString &) { return Result<std::optional<OfficeFileFacts>>(std::nullopt); },
        control);
}

OrganisedCopyOutcome runSchemeFolderCopy(const QString &databasePath, OrganisedCopyRequest request,
                                         const QString &freshFolderBase, JobControl &control)
{
    PreparedFolder prepared; // its lock is held until the copy has ended
    if (!freshFolderBase.isEmpty() && !intoFreshFolder(freshFolderBase, request, prepared, control))
        return {};
    return runOrganisedCopy(databasePath, request, control);
}

OrganisedCopyOutcome runOrganisedCopy(const QString &databasePath,
                                      const OrganisedCopyRequest &request, JobControl &control)
{
    if (request.layout != CopyLayout::Scheme || request.scheme == FolderScheme::None)
        return copyIntoFolders(
            request,
            [](const QString &) { return Result<std::optional<OfficeFileFacts>>(std::nullopt); },
            control);
    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return {};
    }
    OfficeFileFactsLookup lookup(connection.db());
    return copyIntoFolders(
        request, [&](const QString &path) { return lookup.find(path); }, control);
}

QString copyProblemsText(const JobReport &report, const OrganisedCopyOutcome &outcome, int shown)
{
    const qsizetype kShown = shown > 0 ? shown : std::numeric_limits<qsizetype>::max();
    QStringList parts;
    if (!report.status)
        parts << report.status.message();
    if (!report.failures.empty()) {
        const auto count = static_cast<qsizetype>(report.failures.size());
        QStringList lines;
        lines << (count == 1 ? QStringLiteral("1 file was not copied:")
                             : QStringLiteral("%1 files were not copied:").arg(count));
        for (qsizetype i = 0; i < count && i < kShown; ++i)
            lines << failureLine(report.failures[static_cast<size_t>(i)]);
        if (count > kShown)
            lines << QStringLiteral("and %1 more").arg(count - kShown);
        parts << lines.join(QLatin1Char('\n'));
    }
    if (!outcome.replacedEarlier.isEmpty()) {
        const auto count = outcome.replacedEarlier.size();
        QStringList lines;
        lines << (count == 1 ? QStringLiteral("1 copy replaced a file that was already there:")
                             : QStringLiteral("%1 copies replaced files that were already there:")
                                   .arg(count));
        for (qsizetype i = 0; i < count && i < kShown; ++i)
            lines << QDir::toNativeSeparators(outcome.replacedEarlier[i]);
        if (count > kShown)
            lines << QStringLiteral("and %1 more").arg(count - kShown);
        parts << lines.join(QLatin1Char('\n'));
    }
    if (!outcome.sameName.empty()) {
        const auto count = static_cast<qsizetype>(outcome.sameName.size());
        QStringList lines;
        lines << (count == 1
                      ? QStringLiteral("1 copy replaced a file of the same name from another "
                                       "folder:")
                      : QStringLiteral("%1 copies replaced a file of the same name from another "
                                       "folder:")
                            .arg(count));
        for (qsizetype i = 0; i < count && i < kShown; ++i) {
            const SameNameReplacement &r = outcome.sameName[static_cast<size_t>(i)];
            lines << QStringLiteral("%1: %2 replaced the copy of %3")
                         .arg(QDir::toNativeSeparators(r.target), QDir::toNativeSeparators(r.by),
                              QDir::toNativeSeparators(r.replaced));
        }
        if (count > kShown)
            lines << QStringLiteral("and %1 more").arg(count - kShown);
        parts << lines.join(QLatin1Char('\n'));
    }
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace quenda
