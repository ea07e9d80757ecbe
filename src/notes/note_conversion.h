#pragma once
// Turning the scanned documents into plain-text notes in the staging folder.

#include "common/result.h"
#include "jobs/job_control.h"
#include "notes/notes_scan.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

namespace quenda {

// UTF-8 when the bytes are valid UTF-8, else Windows-1252; a byte-order mark is dropped.
QString decodePlainText(QByteArrayView bytes);
// Rich text when the type token is "rtf" in any case or the content opens an RTF group.
bool readsAsRichText(const QString &type, QByteArrayView head);
// The whole content of a regular file, refused for anything else (a pipe would block) and
// above a size no note reaches.
Result<QByteArray> readDocumentBytes(const QString &path);
// The plain text a document shows in the preview.
Result<QString> documentText(const QString &path, const QString &type);

// The note a document becomes: base name of its file name plus ".txt".
QString noteFileName(const QString &application);
// Writes text with CR LF line ends into the staging folder (created when missing).
Status writeNoteFile(const QString &stagingDir, const QString &fileName, const QString &text);

// True for an existing file whose real location lies under folder.
bool isInsideFolder(const QString &path, const QString &folder);

// Deletes the notes of the previous conversion, but only .txt files inside the staging folder;
// anything else is left alone and reported, as is a note that cannot be deleted.
int deletePreviousNotes(const QStringList &paths, const QString &stagingDir, JobControl &control);

struct NoteSource {
    QString application; // the grid's "App" cell
    QString path;        // the grid's "Path" cell
};

struct ConversionOutcome {
    int written = 0;
    int notesFound = 0;                // text files of the staging folder recorded afterwards
    std::vector<QStringList> noteRows; // their grid cells
    QString lastApplication;           // the last document converted, and its text
    QString lastText;
};

// Deletes the previous notes, writes one note per source in order (a later source of the same
// base name wins), then records every text file of the staging folder as the converted notes.
// Progress counts the documents; a cancel stops the writing after the document at hand, and the
// notes list is still brought up to date with what the staging folder holds.
ConversionOutcome convertDocuments(QSqlDatabase &db, const std::vector<NoteSource> &sources,
                                   const QStringList &previousNotes, const QString &stagingDir,
                                   JobControl &control);

// The conversion the window and the command line run, on a connection of its own.
ConversionOutcome runNoteConversion(const QString &databasePath,
                                    const std::vector<NoteSource> &sources,
                                    const QStringList &previousNotes, const QString &stagingDir,
                                    JobControl &control);

} // namespace quenda
