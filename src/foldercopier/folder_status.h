#pragma once
// The folder copier's status: how many folders are ticked and how large they are together. The
// size is read again from the disk each time, which takes as long as walking the folders, so
// it is computed off the window's thread and only the newest question is answered.

#include "foldercopier/scheme_scan.h"
#include "jobs/newest_request.h"

#include <QObject>
#include <QStringList>

#include <functional>

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

struct FolderContents {
    SizeTotal size;
    std::vector<ListedEntry> files; // the files directly in the folder, as filesInFolder gives them
    QString listError;              // why they could not be listed; empty when they were
};

// The drive viewer's folder pane: the files directly in folder and the total size of it.
FolderContents folderContents(const QString &folder, JobControl &control);

// Answers size questions on a worker thread. A new question cancels the one still being
// worked on, whose answer is dropped; only the newest answer is delivered, on the owner's
// thread.
class SizeRequests : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const SizeTotal &)>;
    using ContentsDone = std::function<void(const FolderContents &)>;

    explicit SizeRequests(QObject *parent = nullptr);

    void request(QStringList folders, Done onDone);
    // The same question asked with the folder's listing, which then takes no time of the
    // owner's thread either.
    void requestContents(QString folder, ContentsDone onDone);
    // Drops the question in hand; nothing is delivered for it.
    void cancel();
    bool isBusy() const;
    // Blocks until the newest answer has been delivered (for the command line and tests).
    void waitForIdle();

private:
    NewestRequest<FolderContents> m_newest;
};

} // namespace quenda
