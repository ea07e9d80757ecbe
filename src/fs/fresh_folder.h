#pragma once
// Folders a copy makes: the path down to a destination, and a folder that starts empty.

#include "common/result.h"
#include "fs/folder_lock.h"
#include "jobs/job_control.h"

#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace quenda {

// Creates path and any missing folders above it; existing folders (or links to folders the user
// named) are fine. Fails naming the folder and the system's reason.
Status makeFolderPath(const QString &path);

// The name of a real folder (not a link) directly in the open folder parentFd whose name is
// name but for letter case: name itself when it is there, else the first such one; empty for
// none. Names that differ only in case were one folder where the program's data comes from.
QByteArray folderNamedAlike(int parentFd, const QString &name);

// True when the folder (device, inode) is path itself or holds it at any depth. Walks up from
// the deepest part of path that exists (from the folder holding it, when that is a file)
// through "..", so neither links nor bind mounts can hide the relation.
bool folderHolds(dev_t device, ino_t inode, const QByteArray &nativePath);

// True when inner is outer or lies somewhere below it. inner's links are resolved first (a link
// stands for what it points at), then the walk goes up from there (from the folder holding it,
// when that is a file) through "..", by device and inode, so neither links nor bind mounts can
// hide the relation.
bool liesWithin(const QString &inner, const QString &outer);

// Makes folder an empty folder for a copy to fill: what stands at that name goes (a link as a
// link, never followed) and the folder is made again, its parents too when missing. Refused
// before anything is removed when one of sources lies inside it, since emptying it would delete
// what is about to be copied, and when another file system is mounted at it or inside it, since
// emptying it would reach into that one. control, when given, hears of each entry that could not
// go.
Result<QString> makeFreshFolder(const QString &folder, const QStringList &sources,
                                JobControl *control = nullptr);

struct PreparedFolder {
    QString path;
    FolderLock lock; // keep it for the whole copy
};

// The folder of a copy that starts empty: takes its copy lock first (see fs/folder_lock.h),
// then makes it fresh as makeFreshFolder does. The lock is released when the result goes.
Result<PreparedFolder> prepareFolderForCopy(const QString &folder, const QStringList &sources,
                                            LockWait wait, JobControl &control);

} // namespace quenda
