#pragma once
// One run of copies into target folders, shared by the copy engine and the organised copy.
// Each file is written under a temporary name (fs/temp_names.h) and must be on the disk before
// it takes its final name, so that a pulled flash disk never holds an empty or cut file under a
// name it trusts. Flushing each file on its own would cost a disk flush per file, so finished
// temporaries wait in a batch: one syncfs of their file system (one fdatasync per file where
// syncfs cannot be trusted) writes the whole batch out, then the batch is renamed in order.
// A folder that got new names has them written out by the next syncfs of its file system (the
// next batch's, or one at the end of the run); where syncfs cannot be trusted the folder is
// flushed on its own after its last rename. Before the run
// writes into a folder it did not make, the stale temporaries of killed writers go from it.

#include "fs/unique_fd.h"
#include "jobs/job_control.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace quenda {

// What happens when a file or link is to be copied where an entry of that name exists. Folders
// always merge: a folder's content goes into an existing folder of the same name.
enum class ClashPolicy : quint8 {
    Replace,  // the copy takes the existing file's place
    Skip,     // the existing file stays and the source is passed over
    KeepBoth, // the copy gets a free numbered name: "Report (2).doc"
    Fail,     // the existing file stays and the item is reported as failed
};

// A folder the run writes into, open for as long as anything of the run needs it.
struct TargetFolder {
    UniqueFd fd;
    QString path; // for messages
    dev_t device = 0;
    ino_t inode = 0;
    quint64 batch = 0; // the batch that counted it last
};
using TargetFolderRef = std::shared_ptr<TargetFolder>;

// How one file or link ended; handed to its caller once it is settled.
struct CopiedFile {
    enum class Fate : quint8 { Placed, Skipped, SourceFailed, TargetFailed, Cancelled };
    Fate fate = Fate::Placed;
    QString reason;        // for the failures: the system's or the program's sentence
    QByteArray name;       // the name it took (a numbered one under KeepBoth)
    bool replaced = false; // an entry of that name was there and the copy took its place
    qint64 bytes = 0;
    int error = 0; // the system's error code behind a failure, when there was one
};

class CopyRun {
public:
    // With bytesOnControl the control's done counter follows the bytes copied; otherwise the
    // caller counts on the control as it likes.
    explicit CopyRun(JobControl &control, bool bytesOnControl = true);
    // finish()
    ~CopyRun();
    CopyRun(const CopyRun &) = delete;
    CopyRun &operator=(const CopyRun &) = delete;

    // Opens name in the folder atFd (AT_FDCWD and a path will do) as a target folder; a link
    // as name is refused unless followLink (a folder the user named). path names it in
    // messages. Fails with the system's error code.
    std::pair<TargetFolderRef, int> openFolder(int atFd, const QByteArray &name,
                                               const QString &path, bool followLink = false);
    // To be called before the run writes into a folder that it did not make.
    void writingInto(const TargetFolderRef &folder);
    // The run made a folder in parent; parent is flushed at the end.
    void madeFolderIn(const TargetFolderRef &parent);

    using Done = std::function<void(const CopiedFile &)>;
    struct Source {
        int folderFd; // AT_FDCWD with a full path as name will do
        QByteArray name;
    };
    struct Target {
        TargetFolderRef folder;
        QByteArray name;
        bool freshFolder = false; // made by this run, so nothing in it can clash
    };
    // Copies a regular file (a link at the source is refused, never followed). done is called
    // once the file is settled: at once when it fails or is skipped, after its batch is flushed
    // when it is placed. plannedBytes is counted as progress when the file is not copied.
    void copyFile(const Source &source, const Target &target, ClashPolicy policy,
                  qint64 plannedBytes, Done done);
    // Copies a symbolic link as a link with the same target text.
    void copyLink(const Source &source, const Target &target, ClashPolicy policy, Done done);
    // Takes over a complete temporary that a whole-file writer made in folderFd (see
    // AtomicFileOptions::run): it goes to the disk with its batch and then takes name,
    // replacing what is there. A failure is reported through the control, naming targetPath,
    // or to done when one is given (which then hears of the success too).
    void placeWritten(int folderFd, const QString &folderPath, const QByteArray &temp,
                      const QByteArray &name, const QString &targetPath, Done done = {});
    // The same for a temporary in a folder the writer opened through openFolder().
    void placeWritten(const TargetFolderRef &folder, const QByteArray &temp, const QByteArray &name,
                      const QString &targetPath, Done done = {});
    // Runs action once everything handed over before it is in place.
    void then(std::function<void()> action);
    // Writes out and places everything handed over so far.
    void flush();
    // flush(), then flushes every folder that got a new name. Failures are reported through
    // the control, naming the folder.
    void finish();

private:
    struct Pending {
        TargetFolderRef folder;
        QByteArray temp;
        QByteArray name;
        QByteArray wanted;
        ClashPolicy policy = ClashPolicy::Replace;
        bool mayClash = true;
        bool link = false;
        qint64 bytes = 0;
        Done done;
        std::function<void()> action; // set for an action; the rest is then unused
    };
    enum class DataResult { Done, ReadFailed, WriteFailed, Cancelled };

    DataResult copyData(int in, int out, qint64 size, qint64 &copied, int *error);
    bool settleClash(const Target &target, ClashPolicy policy, QByteArray &name, Done &done,
                     qint64 plannedBytes);
    // A finished temporary of target's folder, to take name (target.name is what was asked).
    static Pending pendingFor(const Target &target, const QByteArray &temp, const QByteArray &name,
                              ClashPolicy policy, qint64 bytes, bool link, Done done);
    void enqueue(Pending pending);
    void place(Pending &pending, int syncError);
    void markDirty(const TargetFolderRef &folder);
    void flushFolders(bool all);
    void syncAwaitingFolders();
    void progress(qint64 bytes);

    JobControl &m_control;
    bool m_bytesOnControl;
    std::vector<Pending> m_pending;
    qint64 m_pendingBytes = 0;
    int m_pendingFiles = 0;
    int m_pendingFolders = 0;
    quint64 m_batch = 1;
    std::chrono::steady_clock::time_point m_oldest;
    std::vector<TargetFolderRef> m_dirty;
    // Folders whose new names wait for a syncfs of their file system: one descriptor on it and
    // the folders' paths, to name them if that syncfs fails.
    struct AwaitingSync {
        UniqueFd fd;
        std::vector<QString> paths;
    };
    std::map<dev_t, AwaitingSync> m_awaitingSync;
    std::set<std::pair<dev_t, ino_t>> m_dirtyIds;
    std::set<std::pair<dev_t, ino_t>> m_cleaned;
    std::map<std::pair<dev_t, ino_t>, std::weak_ptr<TargetFolder>> m_writersFolders;
    std::vector<char> m_buffer;
    int m_maxPendingFolders;
};

} // namespace quenda
