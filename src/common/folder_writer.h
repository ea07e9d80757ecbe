#pragma once
// Whole files written into one folder, each through a temporary name in that folder and a
// rename: a failed write leaves an earlier file whole and no temporary behind, a symbolic link
// at the name is replaced rather than followed, and a replaced file keeps its permissions. The
// folder is opened once, so writing many files pays no path look-up per file.

#include "common/result.h"

#include <QByteArray>
#include <QString>

namespace quenda {

class FolderWriter {
public:
    explicit FolderWriter(const QString &folder);
    ~FolderWriter();
    FolderWriter(const FolderWriter &) = delete;
    FolderWriter &operator=(const FolderWriter &) = delete;

    // Fails when the folder cannot be opened; every write then fails, naming its file, for that
    // reason.
    Status status() const { return m_status; }
    // name is a plain file name (no separator, not "." or ".."); the caller checks that.
    // A failure names the file and gives the system's reason.
    Status write(const QString &name, QByteArrayView bytes);

private:
    int moveIntoPlace(const QByteArray &temp, const QByteArray &target); // 0 or an errno

    QString m_folder;
    QByteArray m_tempTag;
    QByteArray m_temp;
    int m_dirFd = -1;
    Status m_status;
};

} // namespace quenda
