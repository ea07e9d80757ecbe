#pragma once
// The source of a contact import: which kind of file, where it is and, for an Access database,
// which table; with the open-dialog filters and the window's two path routines.

#include "common/note_names.h"

#include <QString>

namespace quenda {

struct ImportSource {
    QString kind;     // one of tableSourceKinds(), compared exactly
    QString path;     // the full path of the file
    QString table;    // the table of an Access database
    int codePage = 0; // 0: the file's own; else the page text and dBASE files are read in

    bool isAccess() const;
    // A file has been chosen and, for a database, a table.
    bool isChosen() const;
    // What messages call the source: the file, and the table of a database.
    QString describe() const;
};

// The kind whose files are databases with tables of their own.
bool isAccessKind(const QString &kind);

// The open dialog's filter for a kind, in the classic "description|patterns" form; "" for a
// text that is no kind.
QString classicFileFilter(const QString &kind);
// The same filter in Qt's form, every pattern matching its extension in any letter case:
// "dBASE IV (*.dbf) (*.[dD][bB][fF])".
QString importFileFilter(const QString &kind);

// Everything up to and including the last separator ("\" or "/"); "" without one.
QString stripdir(const QString &path);
// stripfilename (everything after the last separator) is the notes' routine of that name.

} // namespace quenda
