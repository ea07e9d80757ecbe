#include "cli/verbs.h"

#include "common/note_names.h"
#include "db/database.h"
#include "db/scans.h"
#include "jobs/foreground.h"
#include "notes/note_conversion.h"
#include "notes/note_cutting.h"
#include "notes/note_merge.h"
#include "notes/notes_scan.h"

#include <QDir>
#include <QFileInfo>

namespace quenda::cli {

namespace {

QString stagingOrComplain(Context &context)
{
    const QString staging = context.places.stagingDir();
    if (staging.isEmpty())
        context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR." << Qt::endl;
    return staging;
}

int notesScan(Context &context, const QString &folder)
{
    if (!requireFolder(context, folder) || !prepareDatabase(context))
        return 1;
    const QString database = context.places.databasePath();
    const QString root = QFileInfo(folder).absoluteFilePath();
    ScanOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) { outcome = runDocumentScan(database, root, control); },
        context.err);
    if (outcome.found == 0 && report.status.ok())
        context.out << "File Not Found" << Qt::endl;
    context.out << documentCountText(static_cast<int>(outcome.rows.size())) << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

int notesConvert(Context &context)
{
    const QString staging = stagingOrComplain(context);
    if (staging.isEmpty() || !prepareDatabase(context))
        return 1;
    const QString database = context.places.databasePath();
    std::vector<NoteSource> sources;
    QStringList previous;
    {
        Connection connection(database);
        // The order the window's grid shows after loading.
        Result<std::vector<ScanRow>> scanned =
            connection.isOpen() ? scanListRows(connection.db(), ScanTable::Documents)
                                : Result<std::vector<ScanRow>>(connection.status().error());
        Result<QStringList> notes = connection.isOpen()
                                        ? scannedPaths(connection.db(), ScanTable::Notes)
                                        : Result<QStringList>(connection.status().error());
        if (!scanned || !notes) {
            context.err << "Cannot read the scanned documents: "
                        << (scanned ? notes.message() : scanned.message()) << Qt::endl;
            return 1;
        }
        for (const ScanRow &row : *scanned)
            sources.push_back({row.application, row.path});
        previous = *notes;
    }
    ConversionOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) {
            outcome = runNoteConversion(database, sources, previous, staging, control);
        },
        context.err);
    if (report.status.ok())
        context.out << conversionMessage(outcome) << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

int notesCut(Context &context, const QString &note)
{
    const QString staging = stagingOrComplain(context);
    if (staging.isEmpty())
        return 1;
    const Result<QString> text = documentText(note);
    if (!text) {
        context.err << "Cannot read the note: " << text.message() << Qt::endl;
        return 1;
    }
    const QString name = stripfilename(QDir::toNativeSeparators(note));
    const QStringList pieces = sectionPieces(insertSectionBreaks(*text));
    JobControl control;
    for (const QString &fileName : writeNotePieces(pieces, name, staging, control))
        context.out << fileName << Qt::endl;
    for (const ItemFailure &failed : control.failures())
        context.err << failed.path << ": " << failed.reason << Qt::endl;
    return control.failureCount() == 0 ? 0 : 1;
}

int notesMerge(Context &context, const QString &out)
{
    const QString staging = stagingOrComplain(context);
    if (staging.isEmpty() || !prepareDatabase(context))
        return 1;
    QStringList notes;
    {
        Connection connection(context.places.databasePath());
        Result<QStringList> listed = connection.isOpen()
                                         ? scannedPaths(connection.db(), ScanTable::Notes)
                                         : Result<QStringList>(connection.status().error());
        if (!listed) {
            context.err << "Cannot read the converted notes: " << listed.message() << Qt::endl;
            return 1;
        }
        notes = *listed;
    }
    MergeOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) { outcome = runNoteMerge(notes, out, staging, control); },
        context.err);
    for (const QString &path : outcome.missing)
        context.err << "Skipped, no longer there: " << QDir::toNativeSeparators(path) << Qt::endl;
    if (outcome.saved)
        context.out << "Merged Doc is created on " << out << Qt::endl;
    return report.succeeded() ? 0 : 1;
}

} // namespace

int runNotes(Context &context, const QStringList &args)
{
    const QString action = args.value(0);
    if (action == QLatin1String("scan") && args.size() == 2)
        return notesScan(context, args[1]);
    if (action == QLatin1String("convert") && args.size() == 1)
        return notesConvert(context);
    if (action == QLatin1String("cut") && args.size() == 2)
        return notesCut(context, args[1]);
    if (action == QLatin1String("merge") && args.size() == 2)
        return notesMerge(context, args[1]);
    return usageError(context, "notes", action);
}

} // namespace quenda::cli
