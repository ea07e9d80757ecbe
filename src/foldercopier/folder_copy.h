#pragma once
// Copying the folder copier's folders: the ticked folders go to one destination, each as a
// sub-folder under its own name; the folders picked in the drive viewer have their content
// merged straight into the chosen folder. Files keep their times and permissions, links stay
// links, files of the same name are replaced and folders merge. A folder that would be copied
// into itself is refused and reported, and the others are copied all the same.

#include "fs/copy_engine.h"
#include "fs/fresh_folder.h"
#include "jobs/job_control.h"

#include <QString>
#include <QStringList>

#include <atomic>

namespace quenda {

// The folder on the Desktop that a copy to the Desktop fills.
QString fileCopierFolder(const QString &desktop);

// Removes what stands at Desktop/"File Copier" without following links (a link there loses
// only the link) and creates the folder empty. Refuses, before anything is removed, when one
// of sources lies inside it, since emptying it would delete what is to be copied.
Result<QString> prepareFileCopierFolder(const QString &desktop, const QStringList &sources,
                                        JobControl &control);

enum class FolderCopyLayout {
    Subfolders,    // destination/<folder name>/...
    MergedContent, // the folder's content straight into destination
};

// Read by a window while the copy runs: bytes copied of the total of every folder.
struct FolderCopyProgress {
    std::atomic<qint64> totalBytes{0}; // known once every folder has been planned
    std::atomic<qint64> folders{0};
    std::atomic<qint64> foldersDone{0};
    CopyCounters counters;
};

struct FolderCopyOutcome {
    QString destination;
    int foldersCopied = 0; // folders whose copy ran (each with or without failures)
    qint64 filesCopied = 0;
    qint64 bytesCopied = 0;
    bool cancelled = false;
};

// Copies each folder into destination, an existing folder. Every folder that cannot be copied,
// and every item inside that fails, is reported through control with its path and reason.
FolderCopyOutcome copyFolders(const QStringList &folders, const QString &destination,
                              FolderCopyLayout layout, JobControl &control,
                              FolderCopyProgress *progress = nullptr);

enum class CopyDestination {
    Desktop,      // Desktop/"File Copier", emptied first
    Disk,         // the root of a drive
    ChosenFolder, // a folder of the user's choice, created when missing
};

struct FolderCopyRequest {
    CopyDestination where = CopyDestination::ChosenFolder;
    QString desktop;      // for Desktop
    QString diskRoot;     // for Disk
    QString chosenFolder; // for ChosenFolder
    QStringList folders;  // the ticked folders, in grid order
};

// The copy panel's Start: settles and prepares the destination, then copies each folder as a
// sub-folder of it. A destination that cannot be had stops the copy through control.abort().
FolderCopyOutcome runFolderCopy(const FolderCopyRequest &request, JobControl &control,
                                FolderCopyProgress *progress = nullptr);

} // namespace quenda
