#pragma once
// The journal export: the previewed document saved as rich text in the user files folder.

#include <QString>

namespace quenda {

enum class JournalKind { Html, Rtf };

QString journalPath(const QString &userFilesDir, JournalKind kind);
// Writes text as RTF under the journal name. The folder is not created: without it nothing is
// written and the result is false.
bool exportJournal(const QString &userFilesDir, JournalKind kind, const QString &text,
                   QString *error = nullptr);

} // namespace quenda
