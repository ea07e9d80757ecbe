#pragma once
// The size of everything in a folder, as a folder's properties show it.

#include "common/result.h"
#include "jobs/job_control.h"

#include <QString>

namespace quenda {

struct FolderSize {
    qint64 bytes = 0;
    bool complete = true; // false when a sub-folder could not be read or the walk was cancelled
};

// The sum of the sizes of all regular files at any depth: links are not followed, a file with
// several hard links counts once, folders of other mounts (bind mounts too) are entered only
// with otherMounts. Unreadable sub-folders are reported through control and make the result
// incomplete; fails only when path itself cannot be read.
Result<FolderSize> folderSize(const QString &path, JobControl &control, bool otherMounts = false);

} // namespace quenda
