#pragma once
// The folder copier's status: how many folders are ticked and how large they are together. The
// size is read again from the disk each time, which takes as long as walking the folders, so
// it is computed off the window's thread and only the newest question is answered.

#include "jobs/job_runner.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

namespace quenda {

struct SizeTotal {
    qint64 bytes = 0;       // 64-bit: ticked folders easily pass 2 GiB together
    QStringList incomplete; // folders that could not be read in full; their share is partial
};

// The sum of the folders' sizes (regular files at any depth, hard links once, no links or
// other mounts followed). Unreadable parts are reported through control.
SizeTotal totalFolderSize(const QStringList &folders, JobControl &control);

// "Selected folder 3 of 12".
QString selectedFolderText(int ticked, int rows);

// Answers size questions on a worker thread. A new question cancels the one still being
// worked on, whose answer is dropped; only the newest answer is delivered, on the owner's
// thread.
class SizeRequests : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const SizeTotal &)>;

    explicit SizeRequests(QObject *parent = nullptr);

    void request(QStringList folders, Done onDone);
    // Drops the question in hand; nothing is delivered for it.
    void cancel();
    bool isBusy() const;
    // Blocks until the newest answer has been delivered (for the command line and tests).
    void waitForIdle();

private:
    void startPending();

    JobRunner *m_runner;
    std::optional<std::pair<QStringList, Done>> m_pending;
};

} // namespace quenda
