#pragma once
// Flushing folders after renames. A renamed file is safe only once the folder holding its new
// name is flushed too; a run that places many files in one folder flushes that folder once,
// after its last rename, instead of once per file.

#include "common/result.h"
#include "fs/unique_fd.h"

#include <QString>

#include <sys/types.h>

#include <vector>

namespace quenda {

class FolderSyncs {
public:
    FolderSyncs() = default;
    // Flushes what is still remembered; call flush() to hear of a failure.
    ~FolderSyncs();
    FolderSyncs(const FolderSyncs &) = delete;
    FolderSyncs &operator=(const FolderSyncs &) = delete;

    // Remembers the open folder (path names it in a message); the same folder only once.
    void add(int folderFd, const QString &path);
    // Flushes every remembered folder once and forgets them. Returns the first failure, naming
    // the folder.
    Status flush();
    bool isEmpty() const { return m_folders.empty(); }

private:
    struct Folder {
        dev_t device;
        ino_t inode;
        UniqueFd fd;
        QString path;
    };
    static Status flushOne(const Folder &folder);

    std::vector<Folder> m_folders;
};

// True when one syncfs on the file system of fd writes out the data of its files. FUSE file
// systems may ignore syncfs, so there each file is flushed on its own.
bool syncfsFlushesFiles(int fd);

} // namespace quenda
