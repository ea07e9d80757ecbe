#include "notes/note_cutting.h"

#include "fs/copy_run.h"
#include "notes/note_conversion.h"

#include <QDir>

namespace quenda {

namespace {
qsizetype codePointCount(const QString &text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    return count;
}
} // namespace

QString insertSectionBreaks(const QString &text, int every)
{
    if (every <= static_cast<int>(kSectionMarker.size()))
        return text;
    const qsizetype length = codePointCount(text);
    const qsizetype breaks = length / every;
    QString out;
    out.reserve(text.size() + breaks * kSectionMarker.size());
    // The j-th marker lands after every*j characters of the text that already holds j-1 markers.
    qsizetype nextBreak = breaks > 0 ? every : -1;
    qsizetype copied = 0, made = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        // A marker due between CR and LF waits for the LF: a piece that ended in a lone CR
        // and a next one that began with a lone LF would each be written with a line end.
        const bool insideCrLf = i > 0 && i < text.size() && text.at(i - 1) == QLatin1Char('\r') &&
                                text.at(i) == QLatin1Char('\n');
        while (made < breaks && copied >= nextBreak && !insideCrLf) {
            out += kSectionMarker;
            ++made;
            nextBreak = every * (made + 1) - kSectionMarker.size() * made;
        }
        if (i == text.size())
            break;
        out += text.at(i);
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            out += text.at(++i);
        ++copied;
    }
    return out;
}

QStringList sectionPieces(const QString &markedText)
{
    return markedText.split(kSectionMarker.toString(), Qt::KeepEmptyParts);
}

QString pieceFileName(const QString &noteName, int number)
{
    return noteName + QString::number(number) + QStringLiteral(".txt");
}

QStringList writeNotePieces(const QStringList &pieces, const QString &noteName,
                            const QString &stagingDir, JobControl &control)
{
    control.setTotal(pieces.size());
    QStringList written; // the run places the pieces in the order they were handed over
    {
        CopyRun run(control, false);
        for (int k = 0; k < pieces.size() && !control.isCancelled(); ++k) {
            const QString fileName = pieceFileName(noteName, k);
            control.setItem(fileName);
            AtomicFileOptions options;
            options.run = &run;
            options.placed = [&, fileName](const CopiedFile &file) {
                const Status placed = placedStatus(file, QDir(stagingDir).filePath(fileName));
                if (placed)
                    written << fileName;
                else
                    control.fail(fileName, placed.message());
            };
            if (Status s = writeNoteFile(stagingDir, fileName, pieces[k], std::move(options)); !s)
                control.fail(fileName, s.message());
            control.advance();
        }
    }
    return written;
}

} // namespace quenda
