#pragma once
// Merging the converted notes into one rich-text document.

#include "common/result.h"
#include "jobs/job_control.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quenda {

inline constexpr const char *kMergedNoteName = "Merged.txt";

struct MergedDocument {
    QByteArray rtf;
    int merged = 0;
    QStringList missing; // listed notes that no longer exist: passed over
};

// Each existing note in list order, framed by two paragraph breaks before it and two
// paragraph breaks and a page break after it. A note that exists but cannot be read is
// reported and left out.
MergedDocument buildMergedDocument(const QStringList &notePaths, JobControl &control);

struct MergeOutcome {
    bool saved = false;
    QString text; // the merged document's plain text, as the viewer shows it
    QStringList missing;
};

// The merge the window and the command line run: builds the document, saves it at target,
// reads its text back and writes that as Merged.txt into the staging folder. Stopped before
// the save, it writes nothing.
MergeOutcome runNoteMerge(const QStringList &notePaths, const QString &target,
                          const QString &stagingDir, JobControl &control);

} // namespace quenda
