#include "notes/note_merge.h"

#include "common/note_names.h"
#include "formats/rtf_writer.h"
#include "fs/atomic_file.h"
#include "fs/copy_run.h"
#include "fs/text_output.h"
#include "notes/note_conversion.h"

#include <QDir>
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
    CopyRun run(control, false);
    Status saved;
    AtomicFileOptions options;
    options.run = &run;
    options.placed = [&saved, &target](const CopiedFile &file) {
        saved = placedStatus(file, target);
    };
    if (Status handed = writeFileAtomically(target, merged.rtf, options); !handed)
        saved = handed;
    else
        run.flush(); // Merged.txt follows only a document that is in place
    if (!saved) {
        control.abort(saved.message());
        return outcome;
    }
    outcome.saved = true;
    // The text as the viewer would read it back from the saved document.
    outcome.text = documentTextOf(merged.rtf);
    options.placed = [&control, &stagingDir](const CopiedFile &file) {
        const QString name = QString::fromLatin1(kMergedNoteName);
        if (const Status placed = placedStatus(file, QDir(stagingDir).filePath(name)); !placed)
            control.fail(name, placed.message());
    };
    if (Status written = writeNoteFile(stagingDir, QString::fromLatin1(kMergedNoteName),
                                       outcome.text, std::move(options));
        !written)
        control.fail(QString::fromLatin1(kMergedNoteName), written.message());
    run.finish();
    return outcome;
}

} // namespace quenda
