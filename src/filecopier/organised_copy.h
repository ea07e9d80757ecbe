#pragma once
// Copying the ticked files of the file list to one destination: all into it, each into a
// folder named like the folder that held it, or into folders a scheme builds from the file's
// recorded type and creation date. Files are copied as the copy engine copies them (a
// temporary name, flushed and renamed, links never followed; see fs/copy_run.h), a same-named
// file copied earlier in the same run is replaced and so is a file that was there before, each
// of them told, and everything that did not arrive is reported through the JobControl. A
// folder the copy builds reuses a folder whose name differs only in letter case, as the names
// were one folder where the file list comes from.

#include "common/result.h"
#include "db/scans.h"
#include "filecopier/copy_schemes.h"
#include "fs/fresh_folder.h"
#include "jobs/job_control.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace quenda {

inline constexpr const char *kFileCopierFolder = "File Copier";

// base + "/File Copier", removed with all it holds and made again empty, under the copy lock of
// that folder (held by the result; see fs/folder_lock.h). A link of that name is removed as a
// link and never followed; base itself is never emptied, and is made when missing. Refused
// before anything is removed when one of sources (the files or folders about to be copied)
// lies inside it, when a file system is mounted in it, and when another copy holds the lock
// (with LockWait::Wait: once it is let go). Fails naming the folder and the reason.
Result<PreparedFolder> prepareFileCopierFolder(const QString &base, const QStringList &sources,
                                               LockWait wait, JobControl &control);

// The folder a file goes into when it keeps its original folder: the name of the folder that
// holds it, less any extension ("Photos.2006" gives "Photos").
QString keepOriginalFolderName(const QString &filePath);

enum class CopyLayout { AllInOne, KeepOriginal, Scheme };

struct OrganisedCopyRequest {
    QStringList sources; // the ticked files, in list order
    QString destination; // made when missing
    CopyLayout layout = CopyLayout::AllInOne;
    FolderScheme scheme = FolderScheme::None;
    QLocale locale; // reads the recorded dates and names the months
};

// A copy that took the place of a file copied earlier in the same run from another folder.
struct SameNameReplacement {
    QString target;
    QString replaced; // the source copied first, whose copy is gone
    QString by;       // the source whose copy remains
};

struct OrganisedCopyOutcome {
    qint64 copied = 0;
    std::vector<SameNameReplacement> sameName;
    QStringList replacedEarlier; // targets where a file that was there before the copy went
    bool cancelled = false;
};

// The recorded facts of a file; nothing when no row holds its path.
using FactsLookup =
    std::function<Result<std::optional<OfficeFileFacts>>(const QString &sourcePath)>;

// Copies the files as the layout says. Progress counts the files. A file without recorded facts
// (or whose facts do not give the scheme's folders) goes into the destination itself. Failures
// (a file gone since the scan, unreadable, a folder that cannot be made) are reported through
// control and the copy goes on; a facts lookup that fails stops it.
OrganisedCopyOutcome copyIntoFolders(const OrganisedCopyRequest &request, const FactsLookup &facts,
                                     JobControl &control);

// The same, reading the facts from the organizer database on a connection of its own.
OrganisedCopyOutcome runOrganisedCopy(const QString &databasePath,
                                      const OrganisedCopyRequest &request, JobControl &control);

// The save window's copy by scheme. With a freshFolderBase the files go into a fresh "File
// Copier" folder made under it (see prepareFileCopierFolder), whose lock is held until the copy
// has ended; without one, into request.destination as it stands, keeping what it holds.
OrganisedCopyOutcome runSchemeFolderCopy(const QString &databasePath, OrganisedCopyRequest request,
                                         const QString &freshFolderBase, JobControl &control);

// The file list's Copy: all into the destination or by original folder, without the database.
// With intoFileCopierFolder the destination is the base of a fresh "File Copier" folder (see
// prepareFileCopierFolder), whose lock is held until the copy has ended; a folder that cannot
// be had stops the copy through control.abort() before anything is copied.
OrganisedCopyOutcome runFileListCopy(OrganisedCopyRequest request, bool intoFileCopierFolder,
                                     JobControl &control);

// The message that follows the completion message when not everything arrived or something
// was replaced: the files not copied with their reasons, the copies that replaced a same-named
// file from another folder, and the files that replaced one that was there before. Empty when
// there is nothing to tell.
// shown limits the lines of each kind (the rest are counted); 0 lists every one.
QString copyProblemsText(const JobReport &report, const OrganisedCopyOutcome &outcome,
                         int shown = 20);

} // namespace quenda
