#pragma once
// Copying the ticked files of the file list to one destination: all into it, each into a
// folder named like the folder that held it, or into folders a scheme builds from the file's
// recorded type and creation date. Files are copied through the copy engine (a temporary name
// and a rename, links never followed), a same-named file copied earlier in the same run is
// replaced, and everything that did not arrive is reported through the JobControl.

#include "common/result.h"
#include "db/scans.h"
#include "filecopier/copy_schemes.h"
#include "jobs/job_control.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace quenda {

inline constexpr const char *kFileCopierFolder = "File Copier";

// base + "/File Copier", removed with all it holds and made again empty. A link of that name is
// removed as a link and never followed; base itself is never emptied, and is made when missing.
// Refused before anything is removed when one of sources (the files about to be copied) lies
// inside it. Fails naming the folder and the reason.
Result<QString> prepareFileCopierFolder(const QString &base, const QStringList &sources = {},
                                        JobControl *control = nullptr);

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

// The message that follows the completion message when not everything arrived: the files not
// copied with their reasons, and the copies that replaced a same-named file from another
// folder. Empty when there is nothing to tell.
QString copyProblemsText(const JobReport &report, const OrganisedCopyOutcome &outcome);

} // namespace quenda
