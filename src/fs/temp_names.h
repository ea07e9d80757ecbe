#pragma once
// The names of the program's temporary files. Every writer (whole files and the copy engine)
// writes under ".quenda-<pid>-<random>.tmp" in the target's own folder and renames the finished
// file into place. The pid tells whether the writer still runs, so a temporary left by a
// writer that was killed can be recognised as stale and removed; a name of any other form, and
// a temporary of a writer that still runs, is never touched.

#include <QByteArray>
#include <QByteArrayView>

#include <sys/types.h>

namespace quenda {

// A fresh name for a temporary of this process.
QByteArray temporaryName();

// The writer's pid when name is one of the program's temporary names; 0 otherwise.
pid_t temporaryWriter(QByteArrayView name);

// True when name is a temporary of a writer that no longer runs.
bool isStaleTemporary(QByteArrayView name);

// Removes the stale temporaries directly in the open folder (files and links only, never
// followed). Returns how many went.
int removeStaleTemporaries(int folderFd);

} // namespace quenda
