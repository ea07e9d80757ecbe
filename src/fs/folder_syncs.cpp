#include "fs/folder_syncs.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace quenda {

namespace {

// Past this many open folders the oldest is flushed at once, which keeps the descriptors few;
// a later rename in it remembers it again.
constexpr size_t kMaxOpenFolders = 256;
constexpr long kFuseMagic = 0x65735546;

} // namespace

FolderSyncs::~FolderSyncs()
{
    (void)flush();
}

void FolderSyncs::add(int folderFd, const QString &path)
{
    struct stat st {};
    if (fstat(folderFd, &st) != 0)
        return;
    for (const Folder &f : m_folders)
        if (f.device == st.st_dev && f.inode == st.st_ino)
            return;
    UniqueFd fd(fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    if (!fd) {
        // No descriptor to spare: flush it now rather than not at all.
        (void)::fsync(folderFd);
        return;
    }
    if (m_folders.size() >= kMaxOpenFolders) {
        (void)flushOne(m_folders.front());
        m_folders.erase(m_folders.begin());
    }
    m_folders.push_back(Folder{st.st_dev, st.st_ino, std::move(fd), path});
}

Status FolderSyncs::flushOne(const Folder &folder)
{
    if (::fsync(folder.fd.get()) == 0 || errno == EINVAL || errno == EROFS)
        return {};
    const int error = errno;
    return fail(QStringLiteral("The folder %1 could not be written to the disk: %2")
                    .arg(folder.path, systemErrorText(error)),
                error);
}

Status FolderSyncs::flush()
{
    Status first;
    for (const Folder &folder : m_folders) {
        const Status done = flushOne(folder);
        if (!done && first)
            first = done;
    }
    m_folders.clear();
    return first;
}

bool syncfsFlushesFiles(int fd)
{
    struct statfs st {};
    return fstatfs(fd, &st) == 0 && st.f_type != kFuseMagic;
}

} // namespace quenda
