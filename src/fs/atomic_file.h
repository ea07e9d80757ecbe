#pragma once
// Writing a file so that a failure never costs the earlier one: the bytes go to a hidden
// temporary file in the target's own folder (named as fs/temp_names.h says), created
// exclusively and never through a link; only a complete file, flushed to the disk, is renamed
// over the target, and the folder is flushed after the rename. A symbolic link at the target is
// replaced by the rename, never followed. Errors name the file and give the system's reason.

#include "common/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

namespace quenda {

class CopyRun;
class FolderSyncs;
struct CopiedFile;
struct TargetFolder;

struct AtomicFileOptions {
    int permissions = -1; // exact permission bits (0755); -1: kept from the replaced file
    // A writer of many files into one folder hands its run's FolderSyncs here and flushes it
    // after the last file; without one each commit flushes the folder itself.
    FolderSyncs *folderSyncs = nullptr;
    // A writer of many files hands a CopyRun here instead: commit() then passes the complete
    // temporary to the run, which flushes a whole batch with one syncfs before renaming it
    // (one flush per file costs a disk flush each). The file takes its name once the run
    // flushes or finishes; a failure then is reported through the run's JobControl, or to
    // placed when it is set, which hears how each file ended.
    CopyRun *run = nullptr;
    std::function<void(const CopiedFile &)> placed;
    // With a run: each file's writeback starts as it is committed, so that the disk is busy
    // while the writer goes on and the run's flush finds little left to write. Worth it for
    // files of a few megabytes; for many small ones it only adds a call per file.
    bool startWriteback = false;
    // With a run: the target's folder, opened once through the run (CopyRun::openFolder) by a
    // writer of many files into it, so that no file opens and identifies the folder again.
    std::shared_ptr<TargetFolder> folder;
};

class AtomicFile {
public:
    explicit AtomicFile(QString targetPath, AtomicFileOptions options = {});
    // Removes the temporary file unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file. A new file gets 0666 less the umask; a regular file that
    // will be replaced hands on its permission bits (and its owner where the system allows),
    // unless the options name the bits.
    Status open();
    // Buffered; an error is sticky and every later call returns it again.
    Status write(QByteArrayView bytes);
    // Writes out, flushes the file to the disk and renames it over the target, then flushes
    // the folder (or leaves that to the options' FolderSyncs). The object is done afterwards.
    Status commit();
    // Drops what was written and removes the temporary file.
    void discard();

    bool isOpen() const { return m_fd >= 0; }
    QString targetPath() const { return m_target; }
    qint64 written() const { return m_written; }

private:
    Status flushBuffer();
    Status failWith(int errnoValue, const QString &action);

    QString m_target;
    AtomicFileOptions m_options;
    QByteArray m_folder;   // native path of the target's folder
    QByteArray m_name;     // native name of the target
    QByteArray m_tempName; // native name of the temporary file in the same folder
    int m_dirFd = -1;
    bool m_ownsDirFd = true; // false: m_dirFd is the options' folder
    int m_fd = -1;
    QByteArray m_buffer;
    qint64 m_written = 0;
    bool m_failed = false;
    Error m_error;
};

// Creates or replaces path with exactly these bytes.
Status writeFileAtomically(const QString &path, QByteArrayView bytes,
                           AtomicFileOptions options = {});

// How a file handed to a run ended, in the words commit() uses: a failure names the file.
Status placedStatus(const CopiedFile &file, const QString &targetPath);

// folder + "/" + name for a name taken from data; refuses a name that is empty, "." or "..",
// holds "/" or a NUL character, or is longer than a file name may be, so that the result always
// lies directly inside folder.
Result<QString> safeChildPath(const QString &folder, const QString &name);

} // namespace quenda
