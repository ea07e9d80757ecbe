#pragma once
// Turning the scanned documents into plain-text notes in the staging folder.

#include "common/result.h"
#include "fs/atomic_file.h"
#include "jobs/job_control.h"
#include "notes/notes_scan.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

// The most of a document read into memory at once (rich text, a note to cut or merge). Plain
// text is converted in a stream and has no such limit.
inline constexpr qint64 kMaxDocumentBytes = qint64(64) << 20;
// The most of a document the viewers show; the rest is left out with a line that says so.
inline constexpr qint64 kPreviewBytes = qint64(1) << 20;

// UTF-8 when the bytes are valid UTF-8, else Windows-1252; a byte-order mark is dropped.
QString decodePlainText(QByteArrayView bytes);
// Rich text when the content opens an RTF group, whatever the name says: an .rtf file that holds
// plain text is read as the plain text it is.
bool readsAsRichText(QByteArrayView head);
// The whole content of a regular file, refused for anything else (a pipe would block) and
// above limit, so that a huge file is never read into memory whole.
Result<QByteArray> readDocumentBytes(const QString &path, qint64 limit = kMaxDocumentBytes);
// The plain text of a whole document, up to kMaxDocumentBytes of it.
Result<QString> documentText(const QString &path);
// The same for a document's bytes at hand.
QString documentTextOf(QByteArrayView bytes);
// What a viewer shows of a document: the text of its first kPreviewBytes, followed by a line
// that names the size when the document is larger, so that a huge file shows at once.
Result<QString> documentPreview(const QString &path);
// The line that stands for the part of a text a viewer leaves out.
QString previewCutNote(qint64 shownBytes, qint64 totalBytes);

// The note a document becomes: base name of its file name plus ".txt".
QString noteFileName(const QString &application);
// Writes text with CR LF line ends into the staging folder (created when missing). With a run
// in options the note is handed to it, and options.placed learns how it ended.
Status writeNoteFile(const QString &stagingDir, const QString &fileName, const QString &text,
                     AtomicFileOptions options = {});
// Converts one document into the note at target: rich text through the RTF reader, plain text
// streamed without holding it in memory. preview receives the start of the text. A document
// that cannot be read leaves an earlier note at target as it was. With a run in options the
// note is handed to it, as for writeNoteFile().
Status convertDocument(const QString &source, const QString &target, QString *preview = nullptr,
                       AtomicFileOptions options = {});

// True for an existing file whose real location lies under folder.
bool isInsideFolder(const QString &path, const QString &folder);

// Deletes the notes of the previous conversion, but only .txt files inside the staging folder;
// anything else is left alone and reported, as is a note that cannot be deleted.
int deletePreviousNotes(const QStringList &paths, const QString &stagingDir, JobControl &control);

struct NoteSource {
    QString application; // file name with extension
    QString path;
};

struct ConversionOutcome {
    int written = 0;
    int failed = 0;                    // documents that could not be converted
    int notesFound = 0;                // text files of the staging folder recorded afterwards
    std::vector<NoteListRow> noteRows; // their list lines
    QString lastApplication;           // the last document converted, and its text
    QString lastText;                  // as documentPreview gives it
};

// The closing message of a conversion: "File Not Found", "File Converted", and how many
// documents could not be converted.
QString conversionMessage(const ConversionOutcome &outcome);

// Deletes the previous notes, writes one note per source in order (a later source of the same
// base name wins; the notes reach the disk in batches, each before its rename), then records every
// text file of the staging folder as the converted notes. A source that cannot be read is reported
// by path and keeps its earlier note; a list that cannot be recorded stops the job with the
// database's reason. Progress counts the documents; a cancel stops the writing after the document
// at hand, and the notes list is still brought up to date with what the staging folder holds.
ConversionOutcome convertDocuments(QSqlDatabase &db, const std::vector<NoteSource> &sources,
                                   const QStringList &previousNotes, const QString &stagingDir,
                                   JobControl &control);

// The conversion the window and the command line run, on a connection of its own.
ConversionOutcome runNoteConversion(const QString &databasePath,
                                    const std::vector<NoteSource> &sources,
                                    const QStringList &previousNotes, const QString &stagingDir,
                                    JobControl &control);

} // namespace quenda
