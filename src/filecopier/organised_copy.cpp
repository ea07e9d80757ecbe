#include "filecopier/organised_copy.h"

#include "common/paths.h"
#include "db/database.h"
#include "filecopier/scan_dates.h"
#include "fs/atomic_file.h"
#include "fs/copy_engine.h"
#include "fs/fresh_folder.h"
#include "fs/native_path.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace quenda {

namespace {

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// A folder the copy builds below the destination: an existing folder is used, while a file or
// a link of that name stops it, so that no copy is led out of the destination.
Status makeFolderBelow(const QString &path)
{
    const QByteArray native = toNativePath(path);
    if (::mkdir(native.constData(), 0777) == 0)
        return {};
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return {};
    if (error == EEXIST)
        return fail(QStringLiteral("the folder %1 cannot be made: a file or link of that name is "
                                   "in the way")
                        .arg(path),
                    EEXIST);
    return fail(
        QStringLiteral("the folder %1 cannot be made: %2").arg(path, systemErrorText(error)),
        error);
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

// The planner's sentences name the source again; the list names it already.
QString reasonOf(const Error &error, const QString &source)
{
    const QString prefix = QStringLiteral("Cannot copy %1: ").arg(source);
    return error.message.startsWith(prefix) ? error.message.mid(prefix.size()) : error.message;
}

QString failureLine(const ItemFailure &failure)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failure.path), failure.reason);
}

} // namespace

Result<QString> prepareFileCopierFolder(const QString &base, const QStringList &sources,
                                        JobControl *control)
{
    if (base.trimmed().isEmpty())
        return fail(QStringLiteral("No destination folder is chosen"), EINVAL);
    return makeFreshFolder(QDir::fromNativeSeparators(base) + QLatin1Char('/') +
                               QLatin1String(kFileCopierFolder),
                           sources, control);
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

    QHash<QString, QString> copiedFrom; // target -> the source whose copy is there now
    QHash<QString, Status> folders;     // folders below the destination, made or refused
    for (const QString &listed : request.sources) {
        if (control.isCancelled()) {
            outcome.cancelled = true;
            break;
        }
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

        QString folder = destination;
        Status ready;
        for (const QString &name : below) {
            const Result<QString> child = safeChildPath(folder, name);
            if (!child) {
                ready = fail(QStringLiteral("no folder can be named \"%1\"").arg(name));
                break;
            }
            auto known = folders.constFind(*child);
            if (known == folders.constEnd())
                known = folders.insert(*child, makeFolderBelow(*child));
            ready = *known;
            if (!ready)
                break;
            folder = *child;
        }
        if (!ready) {
            control.fail(source, QStringLiteral("Not copied: ") + ready.message());
            control.advance();
            continue;
        }

        const QString target = folder + QLatin1Char('/') + fileNameOfPath(source);
        const auto earlier = copiedFrom.constFind(target);
        if (earlier != copiedFrom.constEnd() && *earlier == source) {
            control.advance(); // the same file listed twice arrives once
            continue;
        }
        const Result<QString> file = fileBehind(source);
        if (!file) {
            control.fail(source, file.message());
            control.advance();
            continue;
        }
        // The engine counts bytes on the control it is given; this one counts files.
        JobControl single;
        const Result<CopyPlan> plan = planCopy(*file, target, ClashPolicy::Replace, single);
        if (!plan) {
            control.fail(source, reasonOf(plan.error(), *file));
        } else {
            const CopyOutcome copied = executeCopy(*plan, single);
            if (copied.filesCopied == 1) {
                ++outcome.copied;
                if (earlier != copiedFrom.constEnd())
                    outcome.sameName.push_back({target, *earlier, source});
                copiedFrom.insert(target, source);
            }
        }
        for (const ItemFailure &failure : single.failures())
            control.fail(failure.path, failure.reason);
        control.advance();
    }
    outcome.cancelled = outcome.cancelled || control.isCancelled();
    return outcome;
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

QString copyProblemsText(const JobReport &report, const OrganisedCopyOutcome &outcome)
{
    constexpr int kShown = 20;
    QStringList parts;
    if (!report.error.isEmpty())
        parts << report.error;
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
