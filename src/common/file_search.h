#pragma once
// Finds the files of a folder whose names match one of several masks ("*.rtf;*.txt;"),
// case-insensitively, with or without sub-folders. The order is repeatable: a folder's own
// files by name, then its sub-folders by name, depth first. Linked folders are not followed.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quenda {

struct FoundFile {
    QString folder; // ends with the native separator
    QString name;
    QString fullPath() const { return folder + name; }
};

QStringList splitMasks(const QString &masks);
bool matchesMask(QStringView name, QStringView mask); // '*' and '?' wildcards, any letter case

// Calls sink for every match, in order; sink returns false to stop the search. A folder that
// cannot be read is passed to unreadable with the system's reason, and the search goes on.
void searchFiles(
    const QString &folder, const QString &masks, bool subfolders,
    const std::function<bool(const FoundFile &)> &sink,
    const std::function<void(const QString &folder, const QString &reason)> &unreadable = {});
std::vector<FoundFile> searchFiles(const QString &folder, const QString &masks, bool subfolders);

} // namespace quenda
