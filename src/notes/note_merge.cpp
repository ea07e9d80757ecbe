#include "notes/note_merge.h"

#include "formats/rtf_writer.h"
#include "notes/note_conversion.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace quenda {

MergedDocument buildMergedDocument(const QStringList &notePaths)
{
    MergedDocument result;
    RtfDocumentBuilder builder;
    for (const QString &path : notePaths) {
        QFile file(path);
        if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
            result.missing << path;
            continue;
        }
        builder.appendParagraphBreak();
        builder.appendParagraphBreak();
        builder.appendText(decodePlainText(file.readAll()));
        builder.appendParagraphBreak();
        builder.appendParagraphBreak();
        builder.appendPageBreak();
        ++result.merged;
    }
    result.rtf = builder.finish();
    return result;
}

bool saveDocument(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace quenda
