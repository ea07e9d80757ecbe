#pragma once
// Copying a file or a folder tree: first a plan (what will be made, from a walk of the source),
// then its execution. Every file is written under a hidden temporary name in its target folder,
// flushed to the disk and renamed into place when complete (see fs/copy_run.h), so a failed,
// cancelled or interrupted copy never leaves a partial file under a final name, and a link at
// the target is replaced, never followed. Symbolic links are copied as links with the same
// target text. The walk of the source enters other mounts, as a copy of a folder takes all that
// is in it. Failures of single items are reported through the JobControl (path and the system's
// reason) and the copy goes on with the rest.

#include "common/result.h"
#include "fs/copy_run.h"
#include "fs/remove_tree.h"
#include "fs/tree_scan.h"
#include "jobs/job_control.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

namespace quenda {

enum class CopyStepKind : quint8 { MakeFolder, CopyFile, CopyLink };

struct CopyStep {
    CopyStepKind kind;
    int depth;       // 0: the source itself; its entries 1, and so on
    qint32 parent;   // index of the step of the folder holding it; -1 for the source itself
    QByteArray name; // native name, the same at source and target (empty for depth 0)
    qint64 size;
    quint32 mode;
    FileTime modified;
    FileTime accessed;
};

struct CopyPlan {
    QString source;
    QString target;
    ClashPolicy policy = ClashPolicy::Replace;
    std::vector<CopyStep> steps; // a folder comes before everything in it
    qint64 totalBytes = 0;
    qint64 fileCount = 0;
    bool mergesIntoExisting = false; // the target folder exists already

    // Full source and target paths of a step (the target before any numbered renaming).
    QString sourcePath(size_t index) const;
    QString targetPath(size_t index) const;
    // Calls visit for every file and link step with its source and target paths, in plan
    // order; cheaper than asking for each path on its own.
    void forEachFile(const std::function<void(size_t index, const QString &source,
                                              const QString &target)> &visit) const;
};

// Plans copying source (a file, folder or link) to exactly the path target: a folder's content
// ends up in target, which is created or merged into. Refuses, with a sentence for the user: a
// source that cannot be read, a target inside the source or equal to it, a target whose
// parent folder does not exist (unless parentComesLater: an earlier copy of the same run makes
// it, and the copy itself fails when it still is not there), and a folder to be copied onto
// something that is no folder. Sub-folders of the source that cannot be read are reported
// through control; entries that are neither files, folders nor links (pipes, devices) are
// reported and left out.
Result<CopyPlan> planCopy(const QString &source, const QString &target, ClashPolicy policy,
                          JobControl &control, bool parentComesLater = false);

struct CopyOutcome {
    qint64 filesCopied = 0;
    qint64 linksCopied = 0;
    qint64 foldersMade = 0;
    qint64 bytesCopied = 0;
    qint64 skipped = 0;            // clashes left alone under ClashPolicy::Skip
    std::vector<QString> replaced; // targets where the copy took the place of an existing entry
    std::vector<QString> renamed;  // numbered names given under ClashPolicy::KeepBoth
    bool cancelled = false;
};

// A copy that took the place of a file.
struct CopyReplacement {
    QString target;
    QString by;      // the source whose copy is there now
    QString earlier; // the source copied there first in the same run; empty for a file that was
                     // there before the run
};

// The targets that files of two plans with different sources both go to, each with the source
// that gets there first (in plan order). Only plans whose targets meet are walked.
QHash<QString, QString> sharedTargets(const std::vector<CopyPlan> &plans);

// What a closing message tells of replaced files: the copies that replaced the copy of another
// source, both named, then the files that were there before. shown limits the lines of each
// kind (the rest are counted); 0 lists every one. Empty when nothing was replaced.
QString replacementsText(const std::vector<CopyReplacement> &replaced, int shown = 20);

// How a copy counts its bytes on the JobControl.
enum class CopyTally : quint8 {
    ThisPlan, // done and total start over with this plan
    Continue, // added to done; the caller set a total for every plan of the job
};

// Carries out the plan. Files keep their modification time and permission bits (rwx of owner,
// group and others; best effort, as a flash disk may keep neither), folders made by the copy
// get theirs once their content is in. Cancelling stops between files or within a large one;
// what was copied stays, the file under way is removed. The JobControl counts bytes, of this
// plan's total or, with CopyTally::Continue, on top of what the caller has counted. Everything
// is on the disk when it returns.
CopyOutcome executeCopy(const CopyPlan &plan, JobControl &control,
                        CopyTally tally = CopyTally::ThisPlan);

} // namespace quenda
