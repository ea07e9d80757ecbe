#pragma once
// Deleting a folder with everything in it, without ever leaving it through a symbolic link.

#include "common/result.h"
#include "jobs/job_control.h"

#include <QString>

namespace quenda {

// Removes path. A folder goes with its content: links inside are removed as links, read-only
// files and folders are removed too, and folders of other mounts (compared by mount id, so bind
// mounts count; path itself included) are neither entered nor removed. A link given as path is
// removed as a link; its target stays. Every entry that could not be removed is reported through
// control with the system's reason. Returns an error naming path when anything is left; a missing
// path is not an error.
Status removeTree(const QString &path, JobControl &control);
// The same without a watcher; the message names the first entry that could not be removed.
Status removeTree(const QString &path);

} // namespace quenda
