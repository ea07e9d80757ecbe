#pragma once
// What the notes window's two viewers show of a document: the start of a scanned document, or
// the whole of a note (which a cut works on). A small document is read at once; a larger one is
// read on a worker thread and shown when it arrives, so a row click never stalls the window,
// and a newer click makes an older answer stale.

#include "jobs/newest_request.h"

#include <QString>

#include <functional>

namespace quenda {

enum class NoteReadKind {
    Preview, // the first kPreviewBytes, with a line that tells the size of the rest
    Whole,   // the whole text, up to kMaxDocumentBytes; above that, the preview
};

struct NoteText {
    QString text;       // empty when the document cannot be read
    bool whole = false; // text is the whole document, as a cut needs it
};

// A document of at most this size is read on the asking thread.
bool readsAtOnce(const QString &path);

// The reading itself, on whatever thread asks.
NoteText readNoteText(const QString &path, NoteReadKind kind);

// One viewer's reads: only the answer to the newest question is delivered, on the owner's
// thread; a small document's answer comes before read() returns.
class NoteReads {
public:
    using Done = std::function<void(const NoteText &)>;

    void read(const QString &path, NoteReadKind kind, Done onDone);
    bool isBusy() const { return m_newest.isBusy(); }
    void waitForIdle() { m_newest.waitForIdle(); }

private:
    NewestRequest<NoteText> m_newest;
};

} // namespace quenda
