#include "cli/verbs.h"

#include "common/paths.h"
#include "db/database.h"
#include "db/folder_schemes.h"
#include "db/scans.h"
#include "filecopier/office_scan.h"
#include "filecopier/organised_copy.h"
#include "fs/shortcuts.h"
#include "jobs/foreground.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace quenda::cli {

namespace {

constexpr const char *kTabNames[] = {"All", "Word", "Excel", "Access", "Picture", "Ppt", "Acrobat"};
constexpr OfficeTab kTabs[] = {OfficeTab::All,    OfficeTab::Word,    OfficeTab::Excel,
                               OfficeTab::Access, OfficeTab::Picture, OfficeTab::Ppt,
                               OfficeTab::Acrobat};

std::optional<OfficeTab> tabNamed(const QString &name)
{
    for (size_t i = 0; i < std::size(kTabNames); ++i)
        if (name.compare(QLatin1String(kTabNames[i]), Qt::CaseInsensitive) == 0)
            return kTabs[i];
    return std::nullopt;
}

QString absolute(const QString &path)
{
    return QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath();
}

int usage(Context &context)
{
    return usageError(context, "files");
}

// Opens the database or says why not.
std::unique_ptr<Connection> open(Context &context)
{
    if (!prepareDatabase(context))
        return nullptr;
    auto connection = std::make_unique<Connection>(context.places.databasePath());
    if (Status s = connection->status(); !s) {
        context.err << s.message() << Qt::endl;
        return nullptr;
    }
    return connection;
}

int filesScan(Context &context, QStringList args)
{
    // A search stays on the mount of its folder unless told otherwise.
    const bool otherMounts = args.removeAll(QStringLiteral("--other-mounts")) > 0;
    if (args.isEmpty())
        return usage(context);
    QStringList folders;
    bool rebuild = false;
    if (args.first() == QLatin1String("--scheme")) {
        if (args.size() != 2)
            return usage(context);
        auto connection = open(context);
        if (!connection)
            return 1;
        const Result<QStringList> schemes = folderSchemeNames(connection->db());
        if (schemes && !schemes->contains(args[1], Qt::CaseInsensitive)) {
            context.err << "No folder scheme is named " << args[1] << Qt::endl;
            return 1;
        }
        const Result<QStringList> ticked = schemes ? tickedSchemeFolders(connection->db(), args[1])
                                                   : Result<QStringList>(schemes.error());
        if (!ticked) {
            context.err << "Cannot read the folder scheme: " << ticked.message() << Qt::endl;
            return 1;
        }
        folders = *ticked;
        rebuild = true;
    } else {
        for (const QString &folder : args) {
            if (folder.startsWith(QLatin1String("--")))
                return usage(context);
            folders << absolute(folder);
        }
        if (!prepareDatabase(context))
            return 1;
    }
    const QString database = context.places.databasePath();
    OfficeScanOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) {
            outcome = runOfficeScan(database, folders, rebuild, control, otherMounts);
        },
        context.err);
    context.out << outcome.recorded
                << (outcome.recorded == 1 ? " file recorded" : " files recorded") << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

int filesList(Context &context, const QStringList &args)
{
    OfficeTab tab = OfficeTab::All;
    if (!args.isEmpty()) {
        const std::optional<OfficeTab> named = args.size() == 2 && args[0] == QLatin1String("--tab")
                                                   ? tabNamed(args[1])
                                                   : std::nullopt;
        if (!named)
            return usage(context);
        tab = *named;
    }
    auto connection = open(context);
    if (!connection)
        return 1;
    const Result<std::vector<QStringList>> rows = officeFileRows(connection->db(), tab);
    if (!rows) {
        context.err << "Cannot read the office files: " << rows.message() << Qt::endl;
        return 1;
    }
    for (const QStringList &row : *rows)
        context.out << row[kOfficeApplication] << '\t' << QDir::toNativeSeparators(row[kOfficePath])
                    << '\t' << row[kOfficeSelect] << '\n';
    context.out.flush();
    return 0;
}

int filesSelect(Context &context, const QStringList &args)
{
    if (args.isEmpty())
        return usage(context);
    auto connection = open(context);
    if (!connection)
        return 1;
    const Result<std::vector<QStringList>> rows = officeFileRows(connection->db(), OfficeTab::All);
    if (!rows) {
        context.err << "Cannot read the office files: " << rows.message() << Qt::endl;
        return 1;
    }
    QSet<QString> chosen; // paths to tick
    if (args.first() == QLatin1String("--all") || args.first() == QLatin1String("--none")) {
        if (args.size() != 1)
            return usage(context);
        if (args.first() == QLatin1String("--all"))
            for (const QStringList &row : *rows)
                chosen.insert(row[kOfficePath]);
    } else if (args.first() == QLatin1String("--tab")) {
        const std::optional<OfficeTab> tab = args.size() == 2 ? tabNamed(args[1]) : std::nullopt;
        if (!tab)
            return usage(context);
        const Result<std::vector<QStringList>> inTab = officeFileRows(connection->db(), *tab);
        if (!inTab) {
            context.err << "Cannot read the office files: " << inTab.message() << Qt::endl;
            return 1;
        }
        for (const QStringList &row : *inTab)
            chosen.insert(row[kOfficePath]);
    } else {
        QSet<QString> recorded;
        for (const QStringList &row : *rows)
            recorded.insert(row[kOfficePath]);
        for (const QString &path : args) {
            const QString full = absolute(path);
            if (!recorded.contains(full)) {
                context.err << "Not in the list: " << QDir::toNativeSeparators(full) << Qt::endl;
                return 1;
            }
            chosen.insert(full);
        }
    }
    std::vector<std::pair<QString, bool>> states;
    states.reserve(rows->size());
    qsizetype ticked = 0;
    for (const QStringList &row : *rows) {
        const bool on = chosen.contains(row[kOfficePath]);
        ticked += on ? 1 : 0;
        states.emplace_back(row[kOfficePath], on);
    }
    if (Status saved = saveOfficeFileSelection(connection->db(), states); !saved) {
        context.err << "Cannot save the ticks: " << saved.message() << Qt::endl;
        return 1;
    }
    context.out << ticked << " of " << rows->size() << " files ticked" << Qt::endl;
    return 0;
}

int filesCopy(Context &context, const QStringList &args)
{
    OrganisedCopyRequest request;
    std::optional<CopyLayout> layout;
    QString base;
    bool toDesktop = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--all-in-one") && !layout) {
            layout = CopyLayout::AllInOne;
        } else if (arg == QLatin1String("--keep-original") && !layout) {
            layout = CopyLayout::KeepOriginal;
        } else if (arg == QLatin1String("--scheme") && !layout && i + 1 < args.size()) {
            const std::optional<FolderScheme> scheme = folderSchemeFromName(args[++i]);
            if (!scheme) {
                context.err << "No such scheme: " << args[i] << " (one of \""
                            << folderSchemeNames().join(QStringLiteral("\", \"")) << "\")"
                            << Qt::endl;
                return 2;
            }
            layout = CopyLayout::Scheme;
            request.scheme = *scheme;
        } else if (arg == QLatin1String("--desktop") && base.isEmpty() && !toDesktop) {
            toDesktop = true;
        } else if (arg == QLatin1String("--to") && base.isEmpty() && !toDesktop &&
                   i + 1 < args.size()) {
            base = absolute(args[++i]);
        } else {
            return usage(context);
        }
    }
    if (!layout || (base.isEmpty() && !toDesktop))
        return usage(context);
    if (toDesktop) {
        base = context.places.desktopDir;
        if (base.isEmpty()) {
            context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR."
                        << Qt::endl;
            return 1;
        }
    }
    request.layout = *layout;
    {
        auto connection = open(context);
        if (!connection)
            return 1;
        const Result<QStringList> ticked = selectedOfficeFilePaths(connection->db());
        if (!ticked) {
            context.err << "Cannot read the ticked files: " << ticked.message() << Qt::endl;
            return 1;
        }
        request.sources = *ticked;
    }
    // The scheme copy and every copy to the Desktop go into a "File Copier" folder that starts
    // empty; a folder named with --to is copied into as it is.
    const bool intoFileCopier = toDesktop || request.layout == CopyLayout::Scheme;
    const QString database = context.places.databasePath();
    OrganisedCopyOutcome outcome;
    QString destination = base;
    const JobReport report = runInForeground(
        [&](JobControl &control) {
            PreparedFolder prepared; // its lock is held until the copy has ended
            if (intoFileCopier) {
                // A second copy into the same folder would delete what this one copies.
                Result<PreparedFolder> made =
                    prepareFileCopierFolder(base, request.sources, LockWait::Refuse, control);
                if (!made) {
                    control.abort(made.message());
                    return;
                }
                prepared = std::move(*made);
                destination = prepared.path;
            }
            request.destination = destination;
            outcome = runOrganisedCopy(database, request, control);
        },
        context.err);
    if (!report.status || report.cancelled)
        return 1;
    // The failures themselves were printed as the copy ended; every replaced file follows.
    const QString replaced = copyProblemsText(JobReport{}, outcome, 0);
    if (!replaced.isEmpty())
        context.err << replaced << Qt::endl;
    const auto notCopied = static_cast<qsizetype>(report.failures.size());
    if (notCopied > 0)
        context.err << (notCopied == 1 ? QStringLiteral("1 file was not copied.")
                                       : QStringLiteral("%1 files were not copied.").arg(notCopied))
                    << Qt::endl;
    // The completion text only when everything arrived and no copy took another's place.
    if (notCopied > 0 || !outcome.sameName.empty())
        return 1;
    context.out << (request.layout == CopyLayout::Scheme
                        ? QStringLiteral("File saved to folder ") +
                              QDir::toNativeSeparators(destination) +
                              QStringLiteral(" is completed")
                        : QStringLiteral("Copy Complete"))
                << Qt::endl;
    return 0;
}

int filesShortcut(Context &context, const QStringList &args)
{
    if (args.size() != 1)
        return usage(context);
    const QString target = absolute(args.first());
    if (!QFileInfo(target).isFile()) {
        context.err << "No such file: " << QDir::toNativeSeparators(target) << Qt::endl;
        return 1;
    }
    const Result<QString> made =
        createDesktopShortcut(context.places.desktopDir, localFileName(target), target);
    if (!made) {
        context.err << "Cannot create the shortcut: " << made.message() << Qt::endl;
        return 1;
    }
    context.out << "Shortcut create successfully" << Qt::endl;
    return 0;
}

} // namespace

int runFiles(Context &context, const QStringList &args)
{
    if (args.isEmpty())
        return usage(context);
    const QString action = args.first();
    const QStringList rest = args.mid(1);
    if (action == QLatin1String("scan"))
        return filesScan(context, rest);
    if (action == QLatin1String("list"))
        return filesList(context, rest);
    if (action == QLatin1String("select"))
        return filesSelect(context, rest);
    if (action == QLatin1String("copy"))
        return filesCopy(context, rest);
    if (action == QLatin1String("shortcut"))
        return filesShortcut(context, rest);
    return usage(context);
}

} // namespace quenda::cli
