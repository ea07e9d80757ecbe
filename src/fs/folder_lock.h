#pragma once
// One copy at a time into a folder that a copy empties first ("File Copier"): a second copy
// started meanwhile would delete what the first one has just copied. The lock is an flock on a
// file in the user's runtime folder, named after the device and inode of the folder's parent
// and the folder's name, so every path that leads to the folder (links, bind mounts) meets the
// same lock, the folder may be removed and made again under it, and nothing is left in the
// user's own folders. The system drops the lock when its holder ends, however it ends.

#include "common/result.h"
#include "fs/unique_fd.h"
#include "jobs/job_control.h"

#include <QString>

namespace quenda {

class FolderLock {
public:
    FolderLock() = default;
    explicit FolderLock(UniqueFd fd) : m_fd(std::move(fd)) {}
    bool isHeld() const { return m_fd.valid(); }
    void release() { m_fd.reset(); }

private:
    UniqueFd m_fd;
};

enum class LockWait : quint8 {
    Refuse, // another copy holds it: fail at once (the command line)
    Wait,   // wait for it, saying so through the job's item, until it is free or cancelled
};

// "Another copy into <folder> is running"
QString copyRunningText(const QString &folder);
// What a waiting copy shows as its job's item.
QString copyWaitingText(const QString &folder);

// Takes the lock of folder, whose parent must exist. Refused with copyRunningText (code
// EWOULDBLOCK) or, while waiting, by a cancel (code ECANCELED).
Result<FolderLock> lockFolderForCopy(const QString &folder, LockWait wait, JobControl &control);

} // namespace quenda
