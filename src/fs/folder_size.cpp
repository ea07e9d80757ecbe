#include "fs/folder_size.h"

#include "fs/tree_scan.h"

#include <unordered_set>

namespace quenda {

namespace {

struct FileIdHash {
    size_t operator()(const std::pair<quint64, quint64> &id) const
    {
        return std::hash<quint64>()(id.first * 0x9E3779B97F4A7C15ULL ^ id.second);
    }
};

} // namespace

Result<FolderSize> folderSize(const QString &path, JobControl &control, bool otherMounts)
{
    ScanOptions options;
    options.metadata = true;
    options.otherMounts = otherMounts;
    FolderSize size;
    // Only files with more than one link can be met twice; remembering just those keeps the
    // set small on ordinary trees.
    std::unordered_set<std::pair<quint64, quint64>, FileIdHash> seen;
    const Result<ScanSummary> summary =
        scanTree(path, options, control, [&](const ScanEntry &entry) {
            if (entry.meta.kind != EntryKind::File)
                return true;
            if (entry.meta.links > 1 && !seen.emplace(entry.meta.device, entry.meta.inode).second)
                return true;
            size.bytes += entry.meta.size;
            return true;
        });
    if (!summary)
        return summary.error();
    size.complete = summary->complete && !summary->stopped;
    return size;
}

} // namespace quenda
