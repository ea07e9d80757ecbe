#pragma once
// Copying a file or a folder tree: first a plan (what will be made, from a walk of the source),
// then its execution. Every file is written under a hidden temporary name in its target folder
// and renamed into place when complete, so a failed or cancelled copy never leaves a partial
// file, and a link at the target is replaced, never followed. Symbolic links are copied as
// links with the same target text. Failures of single items are reported through the
// JobControl (path and the system's reason) and the copy goes on with the rest.

#include "common/result.h"
#include "fs/remove_tree.h"
#include "fs/tree_scan.h"
#include "jobs/job_control.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <vector>

namespace quenda {

// What happens when a file or link is to be copied where an entry of that name exists. Folders
// always merge: a folder's content goes into an existing folder of the same name.
enum class ClashPolicy : quint8 {
    Replace,  // the copy takes the existing file's place
    Skip,     // the existing file stays and the source is passed over
    KeepBoth, // the copy gets a free numbered name: "Report (2).doc"
    Fail,     // the existing file stays and the item is reported as failed
};

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
};

// Plans copying source (a file, folder or link) to exactly the path target: a folder's content
// ends up in target, which is created or merged into. Refuses, with a sentence for the user: a
// source that cannot be read, a target inside the source or equal to it, a target whose
// parent folder does not exist, and a folder to be copied onto something that is no folder.
// Sub-folders of the source that cannot be read are reported through control; entries that are
// neither files, folders nor links (pipes, devices) are reported and left out.
Result<CopyPlan> planCopy(const QString &source, const QString &target, ClashPolicy policy,
                          JobControl &control);

// Live counters for whoever shows progress; JobControl counts bytes (done of the plan's total).
struct CopyCounters {
    std::atomic<qint64> files{0};
    std::atomic<qint64> bytes{0};
};

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

// Carries out the plan. Files keep their modification time and permission bits (rwx of owner,
// group and others; best effort, as a flash disk may keep neither), folders made by the copy
// get theirs once their content is in. Cancelling stops between files or within a large one;
// what was copied stays, the file under way is removed.
CopyOutcome executeCopy(const CopyPlan &plan, JobControl &control,
                        CopyCounters *counters = nullptr);

} // namespace quenda
