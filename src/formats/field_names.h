#pragma once
// Field names of a foreign table as the program shows them: trimmed of blanks, and an empty or
// repeated name (compared without regard to case, as the database compares names) replaced by F
// and its position from 1 (F1, F2 ...), so that every field can be chosen by its name.

#include <QStringList>

namespace quenda {

QStringList uniqueFieldNames(const QStringList &names);

} // namespace quenda
