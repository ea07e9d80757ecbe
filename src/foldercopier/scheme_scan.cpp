#include "foldercopier/scheme_scan.h"

#include "db/database.h"
#include "fs/folder_size.h"
#include "fs/native_path.h"
#include "fs/tree_scan.h"

#include <QSet>

#include <cerrno>
#include <dirent.h>

namespace quenda {

namespace {

template <class Take>
Status listFolder(const QString &folder, bool folders, JobControl &control, Take take)
{
    ScanOptions options;
    options.files = !folders;
    options.folders = folders;
    options.maxDepth = 0;
    options.order = ScanOrder::Natural;
    const Result<ScanSummary> summary = scanTree(folder, options, control, [&](const ScanEntry &e) {
        take(e);
        return true;
    });
    if (!summary)
        return summary.error();
    return {};
}

} // namespace

Result<std::vector<ListedEntry>> topLevelFolders(const QString &root, JobControl &control)
{
    std::vector<ListedEntry> folders;
    const Status listed = listFolder(root, true, control, [&](const ScanEntry &e) {
        if (e.kind() == EntryKind::Folder)
            folders.push_back({e.path(), e.name()});
    });
    if (!listed)
        return listed.error();
    return folders;
}

Result<std::vector<ListedEntry>> filesInFolder(const QString &folder, JobControl &control)
{
    std::vector<ListedEntry> files;
    const Status listed = listFolder(folder, false, control, [&](const ScanEntry &e) {
        if (e.kind() == EntryKind::File || e.kind() == EntryKind::Link)
            files.push_back({e.path(), e.name()});
    });
    if (!listed)
        return listed.error();
    return files;
}

SchemeScanOutcome runSchemeScan(const QString &databasePath, const QString &root,
                                const QString &scheme, SchemeScanMode mode, JobControl &control,
                                bool otherMounts)
{
    SchemeScanOutcome out;
    // Readiness is settled before anything is deleted: a drive that is not plugged in must not
    // cost the scheme its rows and saved ticks.
    const Result<std::vector<ListedEntry>> folders = topLevelFolders(root, control);
    if (!folders) {
        out.ready = fail(QStringLiteral("Drive not ready !"));
        return out;
    }
    out.folders = *folders;
    out.drive = driveOfPath(root);

    Connection connection(databasePath);
    if (Status open = connection.status(); !open) {
        control.abort(open.message());
        return out;
    }
    QSet<QString> keepTicked;
    if (mode == SchemeScanMode::Refresh) {
        const auto saved = schemeFolderRows(connection.db(), scheme, SchemeRows::Ticked);
        if (!saved) {
            control.abort(saved.message());
            return out;
        }
        for (const SchemeFolderRow &row : *saved)
            keepTicked.insert(row.path);
    }
    if (Status cleared = deleteSchemeFolders(connection.db(), scheme); !cleared) {
        control.abort(QStringLiteral("The scheme %1 could not be emptied: %2")
                          .arg(scheme, cleared.message()));
        return out;
    }

    control.setParts(static_cast<qint64>(folders->size()));
    for (size_t i = 0; i < folders->size(); ++i) {
        const ListedEntry &folder = (*folders)[i];
        if (control.isCancelled())
            break;
        control.startPart(static_cast<qint64>(i));
        SchemeFolderRow row{folder.path, folder.name, std::nullopt,
                            keepTicked.contains(folder.path), scheme};
        const Result<FolderSize> size = folderSize(folder.path, control, otherMounts);
        // A folder cut short by Cancel has no true size yet: it is not recorded.
        if (control.isCancelled())
            break;
        if (size) {
            row.size = size->bytes;
            if (!size->complete)
                out.incompleteSizes << folder.path;
        } else {
            control.fail(folder.path, size.message());
        }
        if (Status added = addSchemeFolder(connection.db(), row); !added)
            control.fail(folder.path, added.message());
        else
            out.recorded.push_back(std::move(row));
        control.finishPart();
    }
    return out;
}

QString schemeRoot(const std::vector<SchemeFolderRow> &rows)
{
    if (rows.empty())
        return QString();
    const QString &path = rows.front().path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace quenda
