#include "notes/note_reading.h"

#include "fs/tree_scan.h"
#include "notes/note_conversion.h"

namespace quenda {

bool readsAtOnce(const QString &path)
{
    const Result<EntryMeta> meta = statEntry(path, true);
    // What cannot be looked at is not read here either: the worker finds out why.
    return meta && meta->kind == EntryKind::File && meta->size <= kPreviewBytes;
}

NoteText readNoteText(const QString &path, NoteReadKind kind)
{
    if (kind == NoteReadKind::Whole) {
        if (Result<QString> text = documentText(path))
            return {std::move(*text), true};
    }
    // Too large to hold whole, the start is shown and the note is not cut.
    Result<QString> start = documentPreview(path);
    return {start ? std::move(*start) : QString(), false};
}

void NoteReads::read(const QString &path, NoteReadKind kind, Done onDone)
{
    if (readsAtOnce(path)) {
        m_newest.drop();
        onDone(readNoteText(path, kind));
        return;
    }
    m_newest.request(
        [path, kind](JobControl &) { return readNoteText(path, kind); },
        [onDone = std::move(onDone)](NoteText text, const JobReport &) { onDone(text); });
}

} // namespace quenda
