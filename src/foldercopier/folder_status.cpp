#include "foldercopier/folder_status.h"

#include "fs/folder_size.h"

namespace quenda {

SizeTotal totalFolderSize(const QStringList &folders, JobControl &control)
{
    SizeTotal total;
    for (const QString &folder : folders) {
        if (control.isCancelled())
            break;
        const Result<FolderSize> size = folderSize(folder, control);
        if (!size) {
            control.fail(folder, size.message());
            total.incomplete << folder;
            continue;
        }
        total.bytes += size->bytes;
        if (!size->complete)
            total.incomplete << folder;
    }
    return total;
}

QString selectedFolderText(int ticked, int rows)
{
    return QStringLiteral("Selected folder %1 of %2").arg(ticked).arg(rows);
}

SizeRequests::SizeRequests(QObject *parent) : QObject(parent), m_runner(new JobRunner(this)) {}

void SizeRequests::request(QStringList folders, Done onDone)
{
    m_pending.emplace(std::move(folders), std::move(onDone));
    if (m_runner->isRunning())
        m_runner->cancel(); // its end starts the pending question
    else
        startPending();
}

void SizeRequests::cancel()
{
    m_pending.reset();
    m_runner->cancel();
}

bool SizeRequests::isBusy() const
{
    return m_runner->isRunning() || m_pending.has_value();
}

void SizeRequests::waitForIdle()
{
    while (m_runner->isRunning())
        m_runner->wait();
}

void SizeRequests::startPending()
{
    if (!m_pending)
        return;
    auto [folders, onDone] = std::move(*m_pending);
    m_pending.reset();
    m_runner->start<SizeTotal>(
        [folders = std::move(folders)](JobControl &control) {
            return totalFolderSize(folders, control);
        },
        [this, onDone = std::move(onDone)](SizeTotal total, const JobReport &report) {
            // A newer question makes this answer stale, even when it came in complete.
            if (!report.cancelled && !m_pending)
                onDone(total);
            startPending();
        });
}

} // namespace quenda
