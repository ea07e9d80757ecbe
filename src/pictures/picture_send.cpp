#include "pictures/picture_send.h"

#include "db/database.h"
#include "fs/fresh_folder.h"
#include "fs/native_path.h"
#include "pictures/picture_names.h"

#include <QDir>

#include <cerrno>
#include <sys/stat.h>

namespace quenda {

namespace {

QString firstFailureSince(const JobControl &control, qsizetype before)
{
    const std::vector<ItemFailure> failures = control.failures();
    if (static_cast<qsizetype>(failures.size()) <= before)
        return QString();
    const ItemFailure &f = failures[static_cast<size_t>(before)];
    return QStringLiteral("%1: %2").arg(f.path, f.reason);
}

} // namespace

PictureSendOutcome sendPictureFolders(const std::vector<PictureFolderRow> &rows,
                                      const QString &staging, JobControl &control,
                                      PictureSendCounters *counters,
                                      const std::function<void(int)> &rowFinished)
{
    PictureSendOutcome outcome;
    outcome.rows = static_cast<int>(rows.size());
    if (staging.isEmpty()) {
        control.abort(QStringLiteral("The Desktop folder cannot be found"));
        return outcome;
    }
    if (Status made = makeFolderPath(staging); !made) {
        control.abort(made.message());
        return outcome;
    }
    const QString rootName = rows.empty() ? QString() : rootNameOf(rows.front().folderPath);
    for (size_t i = 0; i < rows.size(); ++i) {
        if (control.isCancelled())
            break;
        if (counters)
            counters->row = static_cast<int>(i);
        const PictureFolderRow &row = rows[i];
        const QString source = sourcePathOf(row);
        const QString shown = destinationName(rootName, row.names);
        const qsizetype before = control.failureCount();
        const Result<QString> target = destinationPath(staging, rootName, row.names);
        if (!target) {
            control.fail(source, target.message());
            outcome.notCopied.push_back({source, shown, target.message()});
            continue;
        }
        const Result<CopyPlan> plan = planCopy(source, *target, ClashPolicy::Replace, control);
        if (control.isCancelled())
            break;
        if (!plan) {
            control.fail(source, plan.message());
            outcome.notCopied.push_back({source, shown, plan.message()});
            continue;
        }
        const CopyOutcome copied =
            executeCopy(*plan, control, counters ? &counters->copy : nullptr);
        if (copied.cancelled)
            break;
        if (control.failureCount() > before)
            outcome.notCopied.push_back({source, shown, firstFailureSince(control, before)});
        else
            ++outcome.copied;
        if (counters)
            ++counters->rowsDone;
        if (rowFinished)
            rowFinished(static_cast<int>(i));
    }
    outcome.cancelled = control.isCancelled();
    return outcome;
}

PictureSendOutcome runPictureSend(const QString &databasePath, const QString &staging,
                                  JobControl &control, PictureSendCounters *counters)
{
    std::vector<PictureFolderRow> rows;
    {
        Connection connection(databasePath);
        Result<std::vector<PictureFolderRow>> read =
            connection.isOpen()
                ? pictureFolderRows(connection.db())
                : Result<std::vector<PictureFolderRow>>(connection.status().error());
        if (!read) {
            control.abort(
                QStringLiteral("The picture folders cannot be read: %1").arg(read.message()));
            return {};
        }
        rows = std::move(*read);
    }
    return sendPictureFolders(rows, staging, control, counters);
}

QString notCopiedMessage(const PictureSendOutcome &outcome)
{
    constexpr size_t kShown = 20;
    const size_t count = outcome.notCopied.size();
    QStringList lines;
    lines << (count == 1
                  ? QStringLiteral("1 of %1 folders was not copied in full:").arg(outcome.rows)
                  : QStringLiteral("%1 of %2 folders were not copied in full:")
                        .arg(count)
                        .arg(outcome.rows));
    for (size_t i = 0; i < count && i < kShown; ++i) {
        const FolderNotCopied &f = outcome.notCopied[i];
        lines << QStringLiteral("%1 -> %2 (%3)").arg(f.source, f.destination, f.reason);
    }
    if (count > kShown)
        lines << QStringLiteral("and %1 more").arg(count - kShown);
    return lines.join(QLatin1Char('\n'));
}

QString sendCancelledMessage(const PictureSendOutcome &outcome)
{
    const int finished = outcome.copied + static_cast<int>(outcome.notCopied.size());
    return QStringLiteral("Send to Desktop was stopped: %1 of %2 folders were sent.")
        .arg(finished)
        .arg(outcome.rows);
}

} // namespace quenda
