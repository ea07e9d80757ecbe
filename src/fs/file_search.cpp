#include "fs/file_search.h"

#include "fs/name_masks.h"
#include "fs/native_path.h"
#include "fs/tree_scan.h"
#include "jobs/job_control.h"

#include <QDir>

#include <sys/stat.h>

namespace quenda {

QStringList splitMasks(const QString &masks)
{
    return NameMasks::fromText(masks).masks();
}

bool matchesMask(QStringView name, QStringView mask)
{
    return wildcardMatch(name, mask);
}

void searchFiles(const QString &folder, const QString &masks, bool subfolders, JobControl &control,
                 const std::function<bool(const FoundFile &)> &sink)
{
    if (folder.isEmpty())
        return;
    ScanOptions options;
    options.masks = NameMasks::fromText(masks);
    options.maxDepth = subfolders ? -1 : 0;
    options.order = ScanOrder::ByName;

    // The entries of one folder share its path: decode it once per folder.
    QByteArray lastFolder;
    QString folderText;
    const auto found =
        scanTree(QDir::fromNativeSeparators(folder), options, control, [&](const ScanEntry &entry) {
            if (entry.kind() == EntryKind::Link) {
                struct stat st {};
                if (stat(entry.nativePath().constData(), &st) != 0 || !S_ISREG(st.st_mode))
                    return true;
            } else if (entry.kind() != EntryKind::File) {
                return true;
            }
            if (folderText.isNull() || entry.nativeFolder != QByteArrayView(lastFolder)) {
                lastFolder = entry.nativeFolder.toByteArray();
                folderText = fromNativePath(lastFolder);
                if (!folderText.endsWith(QLatin1Char('/')))
                    folderText += QLatin1Char('/');
            }
            return sink(FoundFile{folderText, entry.name()});
        });
    if (!found)
        control.fail(folder, systemErrorText(found.code()));
}

void searchFiles(const QString &folder, const QString &masks, bool subfolders,
                 const std::function<bool(const FoundFile &)> &sink)
{
    JobControl control;
    searchFiles(folder, masks, subfolders, control, sink);
}

std::vector<FoundFile> searchFiles(const QString &folder, const QString &masks, bool subfolders)
{
    std::vector<FoundFile> out;
    searchFiles(folder, masks, subfolders, [&](const FoundFile &f) {
        out.push_back(f);
        return true;
    });
    return out;
}

} // namespace quenda
