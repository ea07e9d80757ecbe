#include "cli/verbs.h"

#include "common/paths.h"
#include "db/database.h"
#include "db/folder_schemes.h"
#include "db/launcher.h"
#include "foldercopier/folder_copy.h"
#include "foldercopier/folder_status.h"
#include "foldercopier/info_panes.h"
#include "foldercopier/scheme_scan.h"
#include "fs/atomic_file.h"
#include "fs/drives.h"
#include "fs/folder_size.h"
#include "fs/shortcuts.h"
#include "jobs/foreground.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace quenda::cli {

namespace {

int usage(Context &context)
{
    return usageError(context, "folders");
}

QString absolutePath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Takes "--name VALUE" out of args; nullopt when the option is missing or has no value.
std::optional<QString> takeOption(QStringList &args, const QString &name)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0 || at + 1 >= args.size())
        return std::nullopt;
    const QString value = args[at + 1];
    args.remove(at, 2);
    return value;
}

bool takeFlag(QStringList &args, const QString &name)
{
    return args.removeAll(name) > 0;
}

// The failures were printed as the copy ended; the replaced files follow them on stderr, and
// the completion text comes only when every item arrived and no copy took the place of
// another's. Returns the exit status.
int printCopyEnd(Context &context, const JobReport &report, const FolderCopyOutcome &outcome)
{
    if (!report.status)
        return 1;
    if (report.cancelled) {
        context.err << "Copy cancelled. What was copied so far stays in place." << Qt::endl;
        return 1;
    }
    if (const QString replaced = replacementsText(outcome.replaced, 0); !replaced.isEmpty())
        context.err << replaced << Qt::endl;
    if (!report.failures.empty())
        context.err << report.failures.size() << (report.failures.size() == 1 ? " item" : " items")
                    << " could not be copied (listed above)." << Qt::endl;
    if (!report.failures.empty() || outcome.hasCollisions())
        return 1;
    context.out << "Copy Complete" << Qt::endl;
    return 0;
}

int foldersDrives(Context &context, const QStringList &args)
{
    if (!args.isEmpty())
        return usage(context);
    for (const DriveInfo &drive : listDrives())
        context.out << drive.rootPath << '\n';
    return 0;
}

int foldersScan(Context &context, QStringList args)
{
    const bool otherMounts = takeFlag(args, QStringLiteral("--other-mounts"));
    const std::optional<QString> scheme = takeOption(args, QStringLiteral("--scheme"));
    if (!scheme || args.size() != 1)
        return usage(context);
    if (scheme->trimmed().isEmpty()) {
        context.err << "Please Fill Scheme Name" << Qt::endl;
        return 1;
    }
    if (!prepareDatabase(context))
        return 1;
    const QString database = context.places.databasePath();
    const QString root = absolutePath(args.first());
    SchemeScanOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) {
            outcome = runSchemeScan(database, root, scheme->trimmed(), SchemeScanMode::Replace,
                                    control, otherMounts);
        },
        context.err);
    if (!outcome.ready) {
        context.err << outcome.ready.message() << Qt::endl;
        return 1;
    }
    Connection connection(database);
    const Result<std::vector<SchemeFolderRow>> rows =
        connection.isOpen() ? schemeFolderRows(connection.db(), scheme->trimmed())
                            : Result<std::vector<SchemeFolderRow>>(connection.status().error());
    if (!rows) {
        context.err << rows.message() << Qt::endl;
        return 1;
    }
    for (const SchemeFolderRow &row : *rows)
        context.out << row.path << '\t' << (row.size ? QString::number(*row.size) : QString())
                    << '\n';
    return report.succeeded() ? 0 : 1;
}

int foldersSelect(Context &context, QStringList args)
{
    const std::optional<QString> scheme = takeOption(args, QStringLiteral("--scheme"));
    const bool all = takeFlag(args, QStringLiteral("--all"));
    const bool none = takeFlag(args, QStringLiteral("--none"));
    if (!scheme || (all && none) || ((all || none) == !args.isEmpty()))
        return usage(context);
    if (!prepareDatabase(context))
        return 1;
    Connection connection(context.places.databasePath());
    if (Status open = connection.status(); !open) {
        context.err << open.message() << Qt::endl;
        return 1;
    }
    const Result<std::vector<SchemeFolderRow>> rows = schemeFolderRows(connection.db(), *scheme);
    if (!rows) {
        context.err << rows.message() << Qt::endl;
        return 1;
    }
    if (rows->empty()) {
        context.err << "No folders are recorded under the scheme " << *scheme << Qt::endl;
        return 1;
    }
    QStringList wanted;
    for (const QString &arg : args)
        wanted << absolutePath(arg);
    std::vector<std::pair<QString, bool>> ticks;
    QStringList ticked;
    for (const SchemeFolderRow &row : *rows) {
        const bool tick = all || wanted.removeAll(row.path) > 0;
        ticks.emplace_back(row.path, tick);
        if (tick)
            ticked << row.path;
    }
    if (!wanted.isEmpty()) {
        for (const QString &path : wanted)
            context.err << "Not a folder of the scheme " << *scheme << ": " << path << Qt::endl;
        return 1;
    }
    if (const Result<int> saved = saveSchemeTicks(connection.db(), *scheme, ticks); !saved) {
        context.err << "The scheme " << *scheme << " could not be saved: " << saved.message()
                    << Qt::endl;
        return 1;
    }
    context.out << selectedFolderText(static_cast<int>(ticked.size()),
                                      static_cast<int>(rows->size()))
                << Qt::endl;
    SizeTotal total;
    const JobReport report = runInForeground(
        [&](JobControl &control) { total = totalFolderSize(ticked, control); }, context.err);
    context.out << "Selected Folder Size: " << total.bytes << Qt::endl;
    if (!total.incomplete.isEmpty())
        context.err << "The size is incomplete: some folders could not be read in full."
                    << Qt::endl;
    return report.succeeded() && total.incomplete.isEmpty() ? 0 : 1;
}

int foldersCopy(Context &context, QStringList args)
{
    const std::optional<QString> scheme = takeOption(args, QStringLiteral("--scheme"));
    const std::optional<QString> to = takeOption(args, QStringLiteral("--to"));
    const bool desktop = takeFlag(args, QStringLiteral("--desktop"));
    if (!scheme || !args.isEmpty() || desktop == to.has_value())
        return usage(context);
    if (!prepareDatabase(context))
        return 1;
    FolderCopyRequest request;
    {
        Connection connection(context.places.databasePath());
        const Result<QStringList> folders = connection.isOpen()
                                                ? tickedSchemeFolders(connection.db(), *scheme)
                                                : Result<QStringList>(connection.status().error());
        if (!folders) {
            context.err << folders.message() << Qt::endl;
            return 1;
        }
        request.folders = *folders;
    }
    if (desktop) {
        request.where = CopyDestination::Desktop;
        request.desktop = context.places.desktopDir;
        // A second copy into "File Copier" would delete what this one copies.
        request.lockWait = LockWait::Refuse;
    } else {
        request.where = CopyDestination::ChosenFolder;
        request.chosenFolder = absolutePath(*to);
    }
    FolderCopyOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) { outcome = runFolderCopy(request, control); }, context.err);
    return printCopyEnd(context, report, outcome);
}

int foldersCopyPicked(Context &context, QStringList args)
{
    const std::optional<QString> to = takeOption(args, QStringLiteral("--to"));
    if (!to || args.size() < 2)
        return usage(context);
    const QString root = absolutePath(args.takeFirst());
    if (!isFolderReadable(root)) {
        context.err << "Drive not ready !" << Qt::endl;
        return 1;
    }
    QStringList folders;
    for (const QString &name : args) {
        const Result<QString> folder = safeChildPath(root, name);
        if (!folder) {
            context.err << folder.message() << Qt::endl;
            return 1;
        }
        folders << *folder;
    }
    const QString destination = absolutePath(*to);
    FolderCopyOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) {
            if (Status made = makeFolderPath(destination); !made) {
                control.abort(made.message());
                return;
            }
            outcome = copyFolders(folders, destination, FolderCopyLayout::MergedContent, control);
        },
        context.err);
    return printCopyEnd(context, report, outcome);
}

int foldersInfo(Context &context, const QStringList &args)
{
    if (args.size() != 1)
        return usage(context);
    const QString path = absolutePath(args.first());
    const Result<EntryMeta> meta = statEntry(path, true);
    if (!meta) {
        context.err << meta.message() << Qt::endl;
        return 1;
    }
    const DriveInfo drive = driveOfPath(path);
    InfoPane pane;
    JobReport report;
    if (!drive.rootPath.isEmpty() && drive.rootPath == path) {
        pane = drivePane(drive);
    } else if (meta->kind == EntryKind::Folder) {
        Result<InfoPane> folder = folderPane(path);
        if (!folder) {
            context.err << folder.message() << Qt::endl;
            return 1;
        }
        pane = *folder;
        Result<FolderSize> size = fail(QString());
        report = runInForeground([&](JobControl &control) { size = folderSize(path, control); },
                                 context.err);
        if (size)
            pane[kPaneSizeLine].value = QString::number(size->bytes);
    } else {
        Result<InfoPane> file = filePane(path);
        if (!file) {
            context.err << file.message() << Qt::endl;
            return 1;
        }
        pane = *file;
    }
    for (const PaneLine &line : pane)
        context.out << line.label << ' ' << line.value << '\n';
    return report.succeeded() ? 0 : 1;
}

int foldersSize(Context &context, QStringList args)
{
    const bool otherMounts = takeFlag(args, QStringLiteral("--other-mounts"));
    if (args.size() != 1)
        return usage(context);
    const QString path = absolutePath(args.first());
    Result<FolderSize> size = fail(QString());
    const JobReport report = runInForeground(
        [&](JobControl &control) { size = folderSize(path, control, otherMounts); }, context.err);
    if (!size) {
        context.err << size.message() << Qt::endl;
        return 1;
    }
    context.out << size->bytes << Qt::endl;
    if (!size->complete)
        context.err << "The size is incomplete: some folders could not be read." << Qt::endl;
    return report.succeeded() && size->complete ? 0 : 1;
}

int foldersShortcut(Context &context, const QStringList &args)
{
    if (args.size() != 1)
        return usage(context);
    const QString path = absolutePath(args.first());
    if (const Result<EntryMeta> meta = statEntry(path, true); !meta) {
        context.err << meta.message() << Qt::endl;
        return 1;
    }
    const Result<QString> made =
        createDesktopShortcut(context.places.desktopDir, localFileName(path), path);
    if (!made) {
        context.err << made.message() << Qt::endl;
        return 1;
    }
    context.out << "Shortcut create successfully" << Qt::endl;
    return 0;
}

int foldersLauncher(Context &context, const QStringList &args)
{
    if (args.size() != 1)
        return usage(context);
    const Result<FolderProperties> folder = folderProperties(absolutePath(args.first()));
    if (!folder) {
        context.err << folder.message() << Qt::endl;
        return 1;
    }
    if (!prepareDatabase(context))
        return 1;
    Connection connection(context.places.databasePath());
    const Status set = connection.isOpen()
                           ? setFirstLauncherButton(connection.db(), folder->name, folder->path)
                           : connection.status();
    if (!set) {
        context.err << set.message() << Qt::endl;
        return 1;
    }
    return 0;
}

} // namespace

int runFolders(Context &context, const QStringList &args)
{
    if (args.isEmpty())
        return usage(context);
    const QString action = args.first();
    const QStringList rest = args.mid(1);
    if (action == QLatin1String("drives"))
        return foldersDrives(context, rest);
    if (action == QLatin1String("scan"))
        return foldersScan(context, rest);
    if (action == QLatin1String("select"))
        return foldersSelect(context, rest);
    if (action == QLatin1String("copy"))
        return foldersCopy(context, rest);
    if (action == QLatin1String("copy-picked"))
        return foldersCopyPicked(context, rest);
    if (action == QLatin1String("info"))
        return foldersInfo(context, rest);
    if (action == QLatin1String("size"))
        return foldersSize(context, rest);
    if (action == QLatin1String("shortcut"))
        return foldersShortcut(context, rest);
    if (action == QLatin1String("launcher"))
        return foldersLauncher(context, rest);
    return usage(context);
}

} // namespace quenda::cli
