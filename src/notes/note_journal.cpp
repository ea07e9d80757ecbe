#include "notes/note_journal.h"

#include "common/text_output.h"
#include "formats/rtf_writer.h"

#include <QDir>
#include <QFileInfo>

namespace quenda {

QString journalPath(const QString &userFilesDir, JournalKind kind)
{
    return QDir(userFilesDir)
        .filePath(kind == JournalKind::Html ? QStringLiteral("Journal.html")
                                            : QStringLiteral("Journal.rtf"));
}

Status exportJournal(const QString &userFilesDir, JournalKind kind, const QString &text)
{
    if (userFilesDir.isEmpty() || !QFileInfo(userFilesDir).isDir())
        return fail(
            QStringLiteral("%1 does not exist").arg(QDir::toNativeSeparators(userFilesDir)));
    return writeBytesFile(journalPath(userFilesDir, kind), plainTextToRtf(text));
}

} // namespace quenda
