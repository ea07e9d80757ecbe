#pragma once
// The journal export: the previewed document saved as rich text in the user files folder.

#include "common/result.h"

#include <QString>

namespace quenda {

enum class JournalKind { Html, Rtf };

QString journalPath(const QString &userFilesDir, JournalKind kind);
// Writes text as RTF under the journal name, making the user files folder when it is missing.
// A failure names the folder or the file and gives the system's reason.
Status exportJournal(const QString &userFilesDir, JournalKind kind, const QString &text);

} // namespace quenda
