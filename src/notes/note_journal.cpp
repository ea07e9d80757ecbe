#include "notes/note_journal.h"

#include "formats/rtf_writer.h"
#include "notes/note_merge.h"

#include <QDir>
#include <QFileInfo>

namespace quenda {

QString journalPath(const QString &userFilesDir, JournalKind kind)
{
    return QDir(userFilesDir)
        .filePath(kind == JournalKind::Html ? QStringLiteral("Journal.html")
                                            : QStringLiteral("Journal.rtf"));
}

bool exportJournal(const QString &userFilesDir, JournalKind kind, const QString &text,
                   QString *error)
{
    if (userFilesDir.isEmpty() || !QFileInfo(userFilesDir).isDir()) {
        if (error)
            *error =
                QStringLiteral("%1 does not exist").arg(QDir::toNativeSeparators(userFilesDir));
        return false;
    }
    return saveDocument(journalPath(userFilesDir, kind), plainTextToRtf(text), error);
}

} // namespace quenda
