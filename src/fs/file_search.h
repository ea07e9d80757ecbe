#pragma once
// Finds the files of a folder whose names match one of several masks ("*.rtf;*.txt;"),
// case-insensitively, with or without sub-folders. The order is repeatable: a folder's own
// files by name, then its sub-folders by name, depth first. Linked folders are not followed;
// a link to a file counts as that file. Names that are not valid UTF-8 keep their bytes (see
// fs/native_path.h).

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quenda {

class JobControl;

struct FoundFile {
    QString folder; // ends with the native separator
    QString name;
    QString fullPath() const { return folder + name; }
};

QStringList splitMasks(const QString &masks);
bool matchesMask(QStringView name, QStringView mask); // '*' and '?' wildcards, any letter case

// Calls sink for every match, in order; sink returns false to stop the search.
void searchFiles(const QString &folder, const QString &masks, bool subfolders,
                 const std::function<bool(const FoundFile &)> &sink);
// The same, reporting folders that could not be read (and the start folder itself when it
// cannot be read) through control, which can also cancel the search.
void searchFiles(const QString &folder, const QString &masks, bool subfolders, JobControl &control,
                 const std::function<bool(const FoundFile &)> &sink);
std::vector<FoundFile> searchFiles(const QString &folder, const QString &masks, bool subfolders);

} // namespace quenda
