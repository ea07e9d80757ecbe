#include "cli/verbs.h"

#include "db/database.h"
#include "db/picture_folders.h"
#include "fs/native_path.h"
#include "jobs/foreground.h"
#include "pictures/picture_names.h"
#include "pictures/picture_scan.h"
#include "pictures/picture_send.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace quenda::cli {

namespace {

// One line per row, tab separated, the names as the file system spells them byte for byte.
QByteArray rowLines(const std::vector<PictureFolderRow> &rows)
{
    const QString rootName = rows.empty() ? QString() : rootNameOf(rows.front().folderPath);
    QByteArray out;
    for (const PictureFolderRow &row : rows) {
        QStringList fields{row.folderPath};
        for (int level = 0; level < kPictureLevels; ++level)
            fields << row.names.value(level);
        fields << destinationName(rootName, row.names);
        out += toNativePath(fields.join(QLatin1Char('\t')));
        out += '\n';
    }
    return out;
}

int picturesScan(Context &context, const QString &folder)
{
    if (!requireFolder(context, folder) || !prepareDatabase(context))
        return 1;
    const QString database = context.places.databasePath();
    const JobReport report = runInForeground(
        [&](JobControl &control) { (void)runPictureScan(database, folder, control); }, context.err);
    if (!report.status)
        return 1;
    Connection connection(database);
    Result<std::vector<PictureFolderRow>> rows =
        connection.isOpen() ? pictureFolderRows(connection.db())
                            : Result<std::vector<PictureFolderRow>>(connection.status().error());
    if (!rows) {
        context.err << "Cannot read the recorded folders: " << rows.message() << Qt::endl;
        return 1;
    }
    context.out.flush();
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(rowLines(*rows)) < 0 || !out.flush()) {
        context.err << "Cannot write the rows: " << out.errorString() << Qt::endl;
        return 1;
    }
    return report.succeeded() ? 0 : 1;
}

int picturesSend(Context &context)
{
    const QString staging = context.places.stagingDir();
    if (staging.isEmpty()) {
        context.err << "The Desktop folder cannot be found; set QUENDA_DESKTOP_DIR." << Qt::endl;
        return 1;
    }
    if (!prepareDatabase(context))
        return 1;
    const QString database = context.places.databasePath();
    PictureSendOutcome outcome;
    const JobReport report = runInForeground(
        [&](JobControl &control) { outcome = runPictureSend(database, staging, control); },
        context.err);
    if (!report.status)
        return 1;
    if (outcome.cancelled) {
        context.err << sendCancelledMessage(outcome) << Qt::endl;
        return 1;
    }
    // What went wrong comes first, on stderr, and then no success is claimed.
    if (!outcome.complete()) {
        context.err << notCopiedMessage(outcome, 0) << Qt::endl;
        return 1;
    }
    context.out << kSendDoneMessage << Qt::endl;
    return 0;
}

} // namespace

int runPictures(Context &context, const QStringList &args)
{
    const QString action = args.value(0);
    if (action == QLatin1String("scan") && args.size() == 2)
        return picturesScan(context, args[1]);
    if (action == QLatin1String("send") && args.size() == 1)
        return picturesSend(context);
    return usageError(context, "pictures", action);
}

} // namespace quenda::cli
