#include "pictures/picture_send.h"

#include "db/database.h"
#include "fs/fresh_folder.h"
#include "fs/native_path.h"
#include "pictures/picture_names.h"

#include <QDir>
#include <QHash>

#include <algorithm>
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
                                      const std::function<void(int)> &rowFinished)
{
    PictureSendOutcome outcome;
    outcome.rows = static_cast<int>(rows.size());
    control.setParts(static_cast<qint64>(rows.size()));
    if (staging.isEmpty()) {
        control.abort(QStringLiteral("The Desktop folder cannot be found"));
        return outcome;
    }
    if (Status made = makeFolderPath(staging); !made) {
        control.abort(made.message());
        return outcome;
    }
    const QString rootName = rows.empty() ? QString() : rootNameOf(rows.front().folderPath);
    // Every row is planned first, so that sources meeting on one name are known before any
    // byte is copied.
    struct RowPlan {
        size_t row;
        QString source;
        QString shown;
        CopyPlan plan;
    };
    std::vector<RowPlan> planned;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (control.isCancelled())
            break;
        const PictureFolderRow &row = rows[i];
        const QString source = sourcePathOf(row);
        const QString shown = destinationName(rootName, row.names);
        const Result<QString> target = destinationPath(staging, rootName, row.names);
        if (!target) {
            control.fail(source, target.message());
            outcome.notCopied.push_back({source, shown, target.message()});
            continue;
        }
        // A third-level row goes into the folder its second-level row makes.
        Result<CopyPlan> plan = planCopy(source, *target, ClashPolicy::Replace, control, true);
        if (control.isCancelled())
            break;
        if (!plan) {
            control.fail(source, plan.message());
            outcome.notCopied.push_back({source, shown, plan.message()});
            continue;
        }
        planned.push_back({i, source, shown, std::move(*plan)});
    }
    std::vector<CopyPlan> plans;
    plans.reserve(planned.size());
    for (RowPlan &p : planned)
        plans.push_back(std::move(p.plan));
    QHash<QString, QString> lastSource = sharedTargets(plans);

    for (size_t k = 0; k < planned.size() && !control.isCancelled(); ++k) {
        const RowPlan &row = planned[k];
        const CopyPlan &plan = plans[k];
        control.startPart(static_cast<qint64>(row.row));
        const qsizetype before = control.failureCount();
        const CopyOutcome copied = executeCopy(plan, control);
        for (const QString &replacedTarget : copied.replaced) {
            const QString by = plan.source + replacedTarget.mid(plan.target.size());
            const auto earlier = lastSource.find(replacedTarget);
            if (earlier != lastSource.end() && *earlier != by) {
                outcome.collisions.push_back({replacedTarget, by, *earlier});
                *earlier = by;
            }
        }
        if (copied.cancelled)
            break;
        if (control.failureCount() > before)
            outcome.notCopied.push_back(
                {row.source, row.shown, firstFailureSince(control, before)});
        else
            ++outcome.copied;
        control.finishPart();
        if (rowFinished)
            rowFinished(static_cast<int>(row.row));
    }
    outcome.cancelled = control.stoppedEarly();
    return outcome;
}

PictureSendOutcome runPictureSend(const QString &databasePath, const QString &staging,
                                  JobControl &control)
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
    return sendPictureFolders(rows, staging, control);
}

QString notCopiedMessage(const PictureSendOutcome &outcome, int shown)
{
    QStringList parts;
    const size_t count = outcome.notCopied.size();
    if (count > 0) {
        const size_t listed = shown > 0 ? std::min<size_t>(shown, count) : count;
        QStringList lines;
        lines << (count == 1
                      ? QStringLiteral("1 of %1 folders was not copied in full:").arg(outcome.rows)
                      : QStringLiteral("%1 of %2 folders were not copied in full:")
                            .arg(count)
                            .arg(outcome.rows));
        for (size_t i = 0; i < listed; ++i) {
            const FolderNotCopied &f = outcome.notCopied[i];
            lines << QStringLiteral("%1 -> %2 (%3)").arg(f.source, f.destination, f.reason);
        }
        if (count > listed)
            lines << QStringLiteral("and %1 more").arg(count - listed);
        parts << lines.join(QLatin1Char('\n'));
    }
    if (!outcome.collisions.empty())
        parts << replacementsText(outcome.collisions, shown);
    return parts.join(QStringLiteral("\n\n"));
}

QString sendCancelledMessage(const PictureSendOutcome &outcome)
{
    const int finished = outcome.copied + static_cast<int>(outcome.notCopied.size());
    return QStringLiteral("Send to Desktop was stopped: %1 of %2 folders were sent.")
        .arg(finished)
        .arg(outcome.rows);
}

} // namespace quenda
