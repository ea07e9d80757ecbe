#include "filecopier/file_details.h"

#include "common/paths.h"
#include "fs/tree_scan.h"

#include <QDir>

namespace quenda {

FileDetails describeFile(const QString &path)
{
    FileDetails details;
    details.path = QDir::fromNativeSeparators(path);
    details.name = localFileName(details.path);
    const Result<EntryMeta> meta = statEntry(details.path, true);
    if (!meta)
        return details;
    details.exists = true;
    details.size = meta->size;
    details.created = (meta->birth.valid ? meta->birth : meta->modified).toDateTime();
    details.modified = meta->modified.toDateTime();
    return details;
}

} // namespace quenda
