#pragma once
// Sending recorded picture folders to the staging folder: each row's folder is copied with
// everything in it to its destination name, merged into what is there, files of the same name
// replaced, times kept, links copied as links. A row that cannot be copied in full is listed
// with its reason and the next row goes on. Flattened names can meet ("a-b/c" and "a/b-c" both
// give "Root-a-b-c"): every row is planned before anything is copied, and each file whose copy
// took the place of another source's copy is told with both sources.

#include "db/picture_folders.h"
#include "fs/copy_engine.h"
#include "jobs/job_control.h"

#include <QString>

#include <functional>
#include <vector>

namespace quenda {

struct FolderNotCopied {
    QString source;
    QString destination; // as the grid shows it
    QString reason;      // the first fault met, with the path it concerns
};

struct PictureSendOutcome {
    int rows = 0;   // rows in the list
    int copied = 0; // rows copied in full
    std::vector<FolderNotCopied> notCopied;
    std::vector<CopyReplacement> collisions; // a copy of one source replaced by another's
    bool cancelled = false;
    bool complete() const { return !cancelled && notCopied.empty() && collisions.empty(); }
};

// Creates the staging folder (and the Desktop above it) when missing; a staging folder that
// cannot be made stops the job. The root name is taken from the first row, as the grid does.
// The control's parts are the rows: the row being copied (its index in rows) and the rows
// finished; its done and total follow the bytes of the row at hand. rowFinished, when given, is
// called on the job's thread after each row with its index: a point to act between rows.
PictureSendOutcome sendPictureFolders(const std::vector<PictureFolderRow> &rows,
                                      const QString &staging, JobControl &control,
                                      const std::function<void(int)> &rowFinished = {});

// The recorded rows of the organizer database, sent as above.
PictureSendOutcome runPictureSend(const QString &databasePath, const QString &staging,
                                  JobControl &control);

// What the user reads after "Successfully Send" when some folders were not copied or some
// files replaced the copy of another source: their count and each with its reason or both
// sources (shown lines of each kind; 0 lists every one). Empty when there is nothing to tell.
QString notCopiedMessage(const PictureSendOutcome &outcome, int shown = 20);
// What the user reads when the send was stopped.
QString sendCancelledMessage(const PictureSendOutcome &outcome);

inline constexpr const char *kSendDoneMessage = "Successfully Send";

} // namespace quenda
