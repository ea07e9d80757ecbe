#include "foldercopier/folder_copy.h"

#include "filecopier/organised_copy.h"
#include "fs/atomic_file.h"
#include "fs/fresh_folder.h"
#include "fs/native_path.h"
#include "fs/unique_fd.h"

#include <QDir>
#include <QHash>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#include <vector>

namespace quenda {

namespace {

QString folderName(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.section(QLatin1Char('/'), -1);
}

Status requireFolder(const QString &path)
{
    struct stat st {};
    const int error = stat(toNativePath(path).constData(), &st) != 0 ? errno
                      : S_ISDIR(st.st_mode)                          ? 0
                                                                     : ENOTDIR;
    if (error != 0)
        return fail(QStringLiteral("Cannot copy to %1: %2").arg(path, systemErrorText(error)),
                    error);
    return {};
}

} // namespace

QString fileCopierFolder(const QString &desktop)
{
    return desktop + QStringLiteral("/File Copier");
}

bool FolderCopyOutcome::hasCollisions() const
{
    return std::any_of(replaced.begin(), replaced.end(),
                       [](const CopyReplacement &r) { return !r.earlier.isEmpty(); });
}

FolderCopyOutcome copyFolders(const QStringList &folders, const QString &destination,
                              FolderCopyLayout layout, JobControl &control)
{
    FolderCopyOutcome out;
    out.destination = destination;
    control.setParts(folders.size());

    // Sub-folders whose names differ only in letter case go into one folder, an existing one
    // first.
    const UniqueFd destinationFd(
        ::open(toNativePath(destination).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QHash<QString, QString> subfolderNamed; // case-folded name -> the name used

    // Every folder is planned first: the bar then runs over the bytes of the whole copy.
    std::vector<CopyPlan> plans;
    std::vector<qint64> planned; // each plan's index in folders: the part it is
    qint64 totalBytes = 0;
    for (qsizetype f = 0; f < folders.size(); ++f) {
        const QString &folder = folders[f];
        if (control.isCancelled()) {
            out.cancelled = true;
            return out;
        }
        QString target = destination;
        if (layout == FolderCopyLayout::Subfolders) {
            QString name = folderName(folder);
            const QString folded = name.toCaseFolded();
            if (const auto used = subfolderNamed.constFind(folded);
                used != subfolderNamed.constEnd()) {
                name = *used;
            } else if (destinationFd) {
                if (const QByteArray alike = folderNamedAlike(destinationFd.get(), name);
                    !alike.isEmpty())
                    name = fromNativePath(alike);
            }
            const Result<QString> child = safeChildPath(destination, name);
            if (!child) {
                control.fail(folder, child.message());
                continue;
            }
            subfolderNamed.insert(folded, name);
            target = *child;
        } else if (liesWithin(folder, destination)) {
            // Merging a folder into one that holds it would replace its own files with copies
            // of the files in its sub-folders.
            control.fail(folder, QStringLiteral("Cannot copy the folder %1 into %2, which holds it")
                                     .arg(folder, destination));
            continue;
        }
        Result<CopyPlan> plan = planCopy(folder, target, ClashPolicy::Replace, control);
        if (!plan) {
            if (control.isCancelled()) {
                out.cancelled = true;
                return out;
            }
            control.fail(folder, plan.message());
            continue;
        }
        totalBytes += plan->totalBytes;
        plans.push_back(std::move(*plan));
        planned.push_back(f);
    }
    control.setDone(0);
    control.setTotal(totalBytes);
    QHash<QString, QString> lastSource = sharedTargets(plans);

    for (size_t i = 0; i < plans.size(); ++i) {
        const CopyPlan &plan = plans[i];
        control.startPart(planned[i]);
        const CopyOutcome copied = executeCopy(plan, control, CopyTally::Continue);
        out.filesCopied += copied.filesCopied;
        out.bytesCopied += copied.bytesCopied;
        for (const QString &target : copied.replaced) {
            // Below its root a copy keeps the source's names.
            const QString by = plan.source + target.mid(plan.target.size());
            const auto earlier = lastSource.find(target);
            if (earlier == lastSource.end() || *earlier == by) {
                out.replaced.push_back({target, by, QString()});
            } else {
                out.replaced.push_back({target, by, *earlier});
                *earlier = by;
            }
        }
        if (copied.cancelled) {
            out.cancelled = true;
            break;
        }
        ++out.foldersCopied;
        control.finishPart();
    }
    return out;
}

FolderCopyOutcome runFolderCopy(const FolderCopyRequest &request, JobControl &control)
{
    FolderCopyOutcome stopped;
    QString destination;
    FolderLock lock;
    switch (request.where) {
    case CopyDestination::Desktop: {
        if (request.desktop.isEmpty()) {
            control.abort(QStringLiteral("The Desktop folder is not known."));
            return stopped;
        }
        Result<PreparedFolder> prepared =
            prepareFileCopierFolder(request.desktop, request.folders, request.lockWait, control);
        if (!prepared) {
            control.abort(prepared.message());
            return stopped;
        }
        // The lock stays taken until the copy has ended.
        lock = std::move(prepared->lock);
        destination = prepared->path;
        break;
    }
    case CopyDestination::Disk:
        destination = request.diskRoot;
        if (destination.isEmpty()) {
            control.abort(QStringLiteral("Choose a drive to copy to."));
            return stopped;
        }
        if (Status there = requireFolder(destination); !there) {
            control.abort(there.message());
            return stopped;
        }
        break;
    case CopyDestination::ChosenFolder:
        destination = request.chosenFolder;
        if (destination.isEmpty()) {
            control.abort(QStringLiteral("Choose a folder to copy to."));
            return stopped;
        }
        if (Status made = makeFolderPath(destination); !made) {
            control.abort(made.message());
            return stopped;
        }
        break;
    }
    return copyFolders(request.folders, destination, FolderCopyLayout::Subfolders, control);
}

FolderCopyOutcome runPickedCopy(const PickedCopyRequest &request, JobControl &control)
{
    if (request.destination.isEmpty()) {
        control.abort(QStringLiteral("Choose a folder to copy to."));
        return {};
    }
    if (Status made = makeFolderPath(request.destination); !made) {
        control.abort(made.message());
        return {};
    }
    QStringList folders;
    for (const QString &name : request.names)
        folders << QDir(request.root).filePath(name);
    return copyFolders(folders, request.destination, FolderCopyLayout::MergedContent, control);
}

QString copyProblemsText(const FolderCopyOutcome &outcome, const std::vector<ItemFailure> &failures)
{
    QStringList problems;
    if (!failures.empty())
        problems << QStringLiteral("%1 could not be copied:\n%2")
                        .arg(failures.size() == 1 ? QStringLiteral("1 item")
                                                  : QStringLiteral("%1 items").arg(failures.size()),
                             failureListText(failures));
    if (const QString replaced = replacementsText(outcome.replaced); !replaced.isEmpty())
        problems << replaced;
    return problems.join(QStringLiteral("\n\n"));
}

} // namespace quenda
