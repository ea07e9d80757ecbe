#pragma once
// Copying the folder copier's folders: the ticked folders go to one destination, each as a
// sub-folder under its own name (an existing folder whose name differs only in letter case
// takes it in); the folders picked in the drive viewer have their content merged straight into
// the chosen folder. Files keep their times and permissions, links stay links, files of the
// same name are replaced and folders merge; every replaced file is told. A folder that would be
// copied into itself is refused and reported, and the others are copied all the same.

#include "fs/copy_engine.h"
#include "fs/fresh_folder.h"
#include "jobs/failure_text.h"
#include "jobs/job_control.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

// The folder on the Desktop that a copy to the Desktop fills.
QString fileCopierFolder(const QString &desktop);

enum class FolderCopyLayout {
    Subfolders,    // destination/<folder name>/...
    MergedContent, // the folder's content straight into destination
};

struct FolderCopyOutcome {
    QString destination;
    int foldersCopied = 0; // folders whose copy ran (each with or without failures)
    qint64 filesCopied = 0;
    qint64 bytesCopied = 0;
    std::vector<CopyReplacement> replaced;
    bool cancelled = false;
    // Two sources went to one name, so the copy of one of them is gone.
    bool hasCollisions() const;
};

// Copies each folder into destination, an existing folder. Every folder that cannot be copied,
// and every item inside that fails, is reported through control with its path and reason.
// Once every folder is planned, the control counts the bytes of the whole copy, and its parts
// are the folders.
FolderCopyOutcome copyFolders(const QStringList &folders, const QString &destination,
                              FolderCopyLayout layout, JobControl &control);

enum class CopyDestination {
    Desktop,      // Desktop/"File Copier", emptied first
    Disk,         // the root of a drive
    ChosenFolder, // a folder of the user's choice, created when missing
};

struct FolderCopyRequest {
    CopyDestination where = CopyDestination::ChosenFolder;
    LockWait lockWait = LockWait::Wait; // a copy to the Desktop while another one runs
    QString desktop;                    // for Desktop
    QString diskRoot;                   // for Disk
    QString chosenFolder;               // for ChosenFolder
    QStringList folders;                // the ticked folders, in grid order
};

// The copy panel's Start: settles and prepares the destination, then copies each folder as a
// sub-folder of it. A destination that cannot be had stops the copy through control.abort();
// so does, for the Desktop, another copy into its "File Copier" folder (or, while waiting for
// it, a cancel).
FolderCopyOutcome runFolderCopy(const FolderCopyRequest &request, JobControl &control);

struct PickedCopyRequest {
    QString root;        // the folder whose folders the drive viewer lists
    QStringList names;   // the picked ones among them
    QString destination; // made when missing
};

// The drive viewer's Copy: the content of each picked folder merged straight into the
// destination. No destination, or one that cannot be made, stops the copy through
// control.abort() before anything is copied.
FolderCopyOutcome runPickedCopy(const PickedCopyRequest &request, JobControl &control);

// What a finished copy has to tell beyond its result: the items that failed and the files
// that were replaced; "" when there is neither.
QString copyProblemsText(const FolderCopyOutcome &outcome,
                         const std::vector<ItemFailure> &failures);

} // namespace quenda
