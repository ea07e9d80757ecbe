#include "foldercopier/folder_copy.h"

#include "fs/atomic_file.h"
#include "fs/fresh_folder.h"
#include "fs/native_path.h"

#include <cerrno>
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

Result<QString> prepareFileCopierFolder(const QString &desktop, const QStringList &sources,
                                        JobControl &control)
{
    return makeFreshFolder(fileCopierFolder(desktop), sources, &control);
}

FolderCopyOutcome copyFolders(const QStringList &folders, const QString &destination,
                              FolderCopyLayout layout, JobControl &control,
                              FolderCopyProgress *progress)
{
    FolderCopyOutcome out;
    out.destination = destination;
    FolderCopyProgress own;
    FolderCopyProgress &shown = progress ? *progress : own;
    shown.folders = folders.size();

    // Every folder is planned first: the bar then runs over the bytes of the whole copy.
    std::vector<CopyPlan> plans;
    qint64 totalBytes = 0;
    for (const QString &folder : folders) {
        if (control.isCancelled()) {
            out.cancelled = true;
            return out;
        }
        QString target = destination;
        if (layout == FolderCopyLayout::Subfolders) {
            const Result<QString> child = safeChildPath(destination, folderName(folder));
            if (!child) {
                control.fail(folder, child.message());
                continue;
            }
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
    }
    shown.totalBytes = totalBytes;

    for (const CopyPlan &plan : plans) {
        const CopyOutcome copied = executeCopy(plan, control, &shown.counters);
        out.filesCopied += copied.filesCopied;
        out.bytesCopied += copied.bytesCopied;
        if (copied.cancelled || control.isCancelled()) {
            out.cancelled = true;
            break;
        }
        ++out.foldersCopied;
        ++shown.foldersDone;
    }
    return out;
}

FolderCopyOutcome runFolderCopy(const FolderCopyRequest &request, JobControl &control,
                                FolderCopyProgress *progress)
{
    FolderCopyOutcome stopped;
    QString destination;
    switch (request.where) {
    case CopyDestination::Desktop: {
        if (request.desktop.isEmpty()) {
            control.abort(QStringLiteral("The Desktop folder is not known."));
            return stopped;
        }
        const Result<QString> prepared =
            prepareFileCopierFolder(request.desktop, request.folders, control);
        if (!prepared) {
            control.abort(prepared.message());
            return stopped;
        }
        destination = *prepared;
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
    return copyFolders(request.folders, destination, FolderCopyLayout::Subfolders, control,
                       progress);
}

} // namespace quenda
