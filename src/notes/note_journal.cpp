#include "notes/note_journal.h"

#include "formats/rtf_writer.h"
#include "fs/fresh_folder.h"
#include "fs/text_output.h"

#include <QDir>

namespace quenda {

QString journalPath(const QString &userFilesDir, JournalKind kind)
{
    return QDir(userFilesDir)
        .filePath(kind == JournalKind::Html ? QStringLiteral("Journal.html")
                                            : QStringLiteral("Journal.rtf"));
}

Status exportJournal(const QString &userFilesDir, JournalKind kind, const QString &text)
{
    if (userFilesDir.isEmpty())
        return fail(QStringLiteral("the user files folder cannot be named: no home folder"));
    // The suite's installer made this folder on the old system; here the program installs
    // itself, so it makes the folder when it is missing.
    if (Status made = makeFolderPath(userFilesDir); !made)
        return made;
    return writeBytesFile(journalPath(userFilesDir, kind), plainTextToRtf(text));
}

} // namespace quenda
