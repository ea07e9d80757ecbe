#pragma once
// Turning the scanned documents into plain-text notes in the staging folder.

#include "notes/notes_scan.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quenda {

// UTF-8 when the bytes are valid UTF-8, else Windows-1252; a byte-order mark is dropped.
QString decodePlainText(QByteArrayView bytes);
// Rich text when the type token is "rtf" in any case or the content opens an RTF group.
bool readsAsRichText(const QString &type, QByteArrayView head);
// The plain text a document shows in the preview; "" when it cannot be read.
QString documentText(const QString &path, const QString &type);
// The Type recorded by the scan for the path; "" when the path was not recorded.
QString recordedDocumentType(QSqlDatabase &db, const QString &path);

// The note a document becomes: base name of its file name plus ".txt".
QString noteFileName(const QString &application);
// Writes text with CR LF line ends into the staging folder (created when missing).
bool writeNoteFile(const QString &stagingDir, const QString &fileName, const QString &text,
                   QString *error = nullptr);

// True for an existing file whose real location lies under folder.
bool isInsideFolder(const QString &path, const QString &folder);

struct NoteDeletion {
    int deleted = 0;
    QStringList refused; // outside the staging folder or not a note: left alone
};
// Deletes the notes of the previous conversion, but only .txt files inside the staging folder.
NoteDeletion deletePreviousNotes(const QStringList &paths, const QString &stagingDir);

struct NoteSource {
    QString application; // the grid's "App" cell
    QString path;        // the grid's "Path" cell
};

struct ConversionSummary {
    NoteDeletion deletion;
    int written = 0;
    QStringList failures; // notes that could not be written, with the reason
    ScanSummary notes;    // the staging folder's text files recorded afterwards
    QString lastText;     // the text of the last document converted
};

struct ConversionProgress {
    std::function<void(int number, const QString &text)> converted; // number counts from 1
    ScanProgress notes;
};

// Deletes the previous notes, writes one note per source in order (a later source of the same
// base name wins), then records every text file of the staging folder as the converted notes.
ConversionSummary convertDocuments(QSqlDatabase &db, const std::vector<NoteSource> &sources,
                                   const QStringList &previousNotes, const QString &stagingDir,
                                   const ConversionProgress &progress = {});

} // namespace quenda
