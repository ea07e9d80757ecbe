#pragma once
// The small name routines the notes window works with. Paths may use "\" or "/".

#include <QString>

namespace quenda {

// Text after the last separator; the whole text when there is none.
QString stripfilename(const QString &path);
// Text before the first "."; "My.notes.rtf" gives "My".
QString noteBaseName(const QString &fileName);
// Text after the first "." among the last four characters; "rtf" when they hold none, so
// "page.html" gives "rtf" and "X.RTF" gives "RTF".
QString typeToken(const QString &path);
// How many of "RTF", "DOC", "TXT", "HTML" the path holds, in any case; a row is filled once
// per hit, so zero leaves the grid row empty.
int scanTokenHits(const QString &path);
// A name that stays inside the folder it is joined to: no separator, not "." or "..".
bool isPlainFileName(const QString &name);

} // namespace quenda
