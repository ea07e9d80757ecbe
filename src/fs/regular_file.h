#pragma once
// Opening files for reading without surprises: a FIFO or a device at a path that should hold a
// document would block a reader or feed it without end, so such a path is refused.

#include "common/result.h"
#include "fs/unique_fd.h"

#include <QString>

class QFile;

namespace quenda {

// Opens path read-only and checks after opening (so the check cannot race the open) that it
// is a regular file; a link to a regular file is fine. The open never blocks on a FIFO.
Result<UniqueFd> openRegularFile(const QString &path);
// The same, handing the descriptor to a QFile that closes it. On failure file stays closed.
Status openRegularFile(const QString &path, QFile &file);

// True when both paths exist and name the same file (same device and inode, links followed).
bool sameFile(const QString &a, const QString &b);

} // namespace quenda
