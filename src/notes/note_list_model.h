#pragma once
// The notes window's two lists, the scanned documents and the converted notes: one typed row per
// file, columns keyed App, Path, Size and Date. The window reads a row back as its struct.

#include "common/row_table_model.h"
#include "notes/note_conversion.h"

namespace quenda {

class NoteListModel : public RowTableModel<NoteListRow> {
public:
    explicit NoteListModel(QObject *parent = nullptr);

    // The paths of every row, in list order.
    QStringList paths() const;
    // Application and path of every row, as the conversion takes them.
    std::vector<NoteSource> sources() const;
};

// What the viewers show of a note: CR LF becomes a line feed, and a line longer than `width`
// characters is broken into lines of that width. A text editor lays a line out whole, so a note
// that is one long line would stall the window; the note itself is never changed.
QString noteForDisplay(QString text, qsizetype width = 1000);

} // namespace quenda
