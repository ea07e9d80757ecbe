#pragma once
// Merging the converted notes into one rich-text document.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quenda {

inline constexpr const char *kMergedNoteName = "Merged.txt";

struct MergedDocument {
    QByteArray rtf;
    int merged = 0;
    QStringList missing; // listed notes that no longer exist
};

// Each existing note in list order, framed by two paragraph breaks before it and two
// paragraph breaks and a page break after it.
MergedDocument buildMergedDocument(const QStringList &notePaths);

// Writes the bytes, replacing the file. Returns false with the reason in error.
bool saveDocument(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace quenda
