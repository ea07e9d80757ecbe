#include "cli/verbs.h"

#include "db/database.h"
#include "notes/note_conversion.h"
#include "notes/note_cutting.h"
#include "notes/note_merge.h"
#include "notes/note_names.h"
#include "notes/notes_scan.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

#include <memory>

namespace quenda::cli {

namespace {

std::unique_ptr<Connection> openDatabase(Context &context)
{
    if (!prepareDatabase(context))
        return nullptr;
    auto connection = std::make_unique<Connection>(context.places.databasePath());
    if (!connection->isOpen()) {
        context.err << "Cannot open the database: " << connection->error() << Qt::endl;
        return nullptr;
    }
    return connection;
}

QString stagingOrComplain(Context &context)
{
    const QString staging = context.places.stagingDir();
    if (staging.isEmpty())
        context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR." << Qt::endl;
    return staging;
}

int notesScan(Context &context, const QString &folder)
{
    if (!QFileInfo(folder).isDir()) {
        context.err << "Not a folder: " << QDir::toNativeSeparators(folder) << Qt::endl;
        return 1;
    }
    auto connection = openDatabase(context);
    if (!connection)
        return 1;
    const ScanSummary summary =
        scanIntoTable(connection->db(), QFileInfo(folder).absoluteFilePath(),
                      QString::fromLatin1(kDocumentMasks), ScanTable::Documents);
    if (summary.found == 0)
        context.out << "File Not Found" << Qt::endl;
    context.out << documentCountText(summary.found) << Qt::endl;
    if (summary.failures > 0) {
        context.err << summary.failures << " files could not be recorded" << Qt::endl;
        return 1;
    }
    return 0;
}

int notesConvert(Context &context)
{
    const QString staging = stagingOrComplain(context);
    auto connection = staging.isEmpty() ? nullptr : openDatabase(context);
    if (!connection)
        return 1;
    std::vector<NoteSource> sources;
    QStringList previous;
    {
        QSqlQuery query(connection->db());
        // The order the window's grid shows after loading.
        if (query.exec(QStringLiteral(
                "Select Application,Path from Quenda_IpodScan order by Application"))) {
            while (query.next())
                sources.push_back({query.value(0).toString(), query.value(1).toString()});
        }
        if (query.exec(QStringLiteral("Select Path from Quenda_IpodScanedtxt"))) {
            while (query.next())
                previous << query.value(0).toString();
        }
    }
    const ConversionSummary summary =
        convertDocuments(connection->db(), sources, previous, staging);
    for (const QString &path : summary.deletion.refused)
        context.err << "Not deleted, outside the staging folder: " << QDir::toNativeSeparators(path)
                    << Qt::endl;
    for (const QString &failure : summary.failures)
        context.err << "Not written: " << failure << Qt::endl;
    context.out << (summary.notes.found == 0 ? "File Not Found" : "File Converted") << Qt::endl;
    return summary.failures.isEmpty() ? 0 : 1;
}

int notesCut(Context &context, const QString &note)
{
    const QString staging = stagingOrComplain(context);
    if (staging.isEmpty())
        return 1;
    if (!QFileInfo(note).isFile()) {
        context.err << "No such note: " << QDir::toNativeSeparators(note) << Qt::endl;
        return 1;
    }
    const QString name = stripfilename(QDir::toNativeSeparators(note));
    const QStringList pieces = sectionPieces(insertSectionBreaks(documentText(note, QString())));
    int status = 0;
    for (int k = 0; k < pieces.size(); ++k) {
        const QString fileName = pieceFileName(name, k);
        QString error;
        if (writeNoteFile(staging, fileName, pieces[k], &error)) {
            context.out << fileName << Qt::endl;
        } else {
            context.err << "Not written: " << fileName << ": " << error << Qt::endl;
            status = 1;
        }
    }
    return status;
}

int notesMerge(Context &context, const QString &out)
{
    const QString staging = stagingOrComplain(context);
    auto connection = staging.isEmpty() ? nullptr : openDatabase(context);
    if (!connection)
        return 1;
    QStringList notes;
    QSqlQuery query(connection->db());
    if (query.exec(QStringLiteral("Select Path from Quenda_IpodScanedtxt"))) {
        while (query.next())
            notes << query.value(0).toString();
    }
    const MergedDocument merged = buildMergedDocument(notes);
    for (const QString &path : merged.missing)
        context.err << "Skipped, no longer there: " << QDir::toNativeSeparators(path) << Qt::endl;
    QString error;
    if (!saveDocument(out, merged.rtf, &error)) {
        context.err << "Cannot save " << QDir::toNativeSeparators(out) << ": " << error << Qt::endl;
        return 1;
    }
    const QString text = documentText(out, typeToken(out));
    if (!writeNoteFile(staging, QString::fromLatin1(kMergedNoteName), text, &error)) {
        context.err << "Cannot write " << kMergedNoteName << ": " << error << Qt::endl;
        return 1;
    }
    context.out << "Merged Doc is created on " << out << Qt::endl;
    return 0;
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
    context.err << "usage: notes scan DIR | notes convert | notes cut FILE | notes merge OUT.rtf"
                << Qt::endl;
    return 2;
}

} // namespace quenda::cli
