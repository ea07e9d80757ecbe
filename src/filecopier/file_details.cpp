#include "filecopier/file_details.h"

#include "common/paths.h"
#include "fs/tree_scan.h"

#include <QDir>
#include <QFileInfo>

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

QString photoViewerIn(const QString &programDir)
{
    const QString viewer = QDir(programDir).filePath(QStringLiteral("Quenda Photo Viewer"));
    const QFileInfo info(viewer);
    return info.isFile() && info.isExecutable() ? viewer : QString();
}

} // namespace quenda
