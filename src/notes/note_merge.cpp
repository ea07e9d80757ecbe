#include "notes/note_merge.h"

#include "common/text_output.h"
#include "formats/rtf_writer.h"
#include "notes/note_conversion.h"
#include "notes/note_names.h"

#include <QFileInfo>

namespace quenda {

MergedDocument buildMergedDocument(const QStringList &notePaths, JobControl &control)
{
    MergedDocument result;
    RtfDocumentBuilder builder;
    control.setTotal(notePaths.size());
    for (const QString &path : notePaths) {
        if (control.isCancelled())
            break;
        control.setItem(path);
        control.advance();
        if (path.isEmpty() || !QFileInfo::exists(path)) {
            result.missing << path;
            continue;
        }
        const Result<QByteArray> bytes = readDocumentBytes(path);
        if (!bytes) {
            control.fail(path, bytes.message());
            continue;
        }
        builder.appendParagraphBreak();
        builder.appendParagraphBreak();
        builder.appendText(decodePlainText(*bytes));
        builder.appendParagraphBreak();
        builder.appendParagraphBreak();
        builder.appendPageBreak();
        ++result.merged;
    }
    result.rtf = builder.finish();
    return result;
}

MergeOutcome runNoteMerge(const QStringList &notePaths, const QString &target,
                          const QString &stagingDir, JobControl &control)
{
    MergeOutcome outcome;
    const MergedDocument merged = buildMergedDocument(notePaths, control);
    outcome.missing = merged.missing;
    if (control.isCancelled())
        return outcome;
    control.setItem(target);
    if (Status saved = writeBytesFile(target, merged.rtf); !saved) {
        control.abort(saved.message());
        return outcome;
    }
    outcome.saved = true;
    const Result<QString> text = documentText(target);
    if (!text) {
        control.fail(target, text.message());
        return outcome;
    }
    outcome.text = *text;
    if (Status written =
            writeNoteFile(stagingDir, QString::fromLatin1(kMergedNoteName), outcome.text);
        !written)
        control.fail(QString::fromLatin1(kMergedNoteName), written.message());
    return outcome;
}

} // namespace quenda
