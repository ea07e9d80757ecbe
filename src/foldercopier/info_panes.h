#pragma once
// What the folder copier tells about a drive, a folder or a file: twelve label and value lines
// each, as its information pane shows them, and the facts behind the folder properties.

#include "common/result.h"
#include "fs/drives.h"
#include "fs/tree_scan.h"

#include <QString>

#include <array>

namespace quenda {

struct PaneLine {
    QString label;
    QString value;
};

using InfoPane = std::array<PaneLine, 12>;

// The line of a folder pane that holds the total size, which takes a walk of the folder; the
// folder pane leaves it empty for the caller to fill from folderSize.
inline constexpr int kPaneSizeLine = 10;

InfoPane drivePane(const DriveInfo &drive);
Result<InfoPane> folderPane(const QString &path);
Result<InfoPane> filePane(const QString &path);

// The attribute names that apply, each followed by one blank, in the classic order: "Alias "
// for a symbolic link, "Directory " for a folder, "Hidden " for a name starting with ".",
// "ReadOnly " when the user may not write it.
QString attributeNames(const QString &path);

// True for the root folder of a mounted file system.
bool isMountRoot(const QString &path);

// A file time in the system's date-and-time form; empty when the time is not kept.
QString paneDate(const FileTime &time);
// "01-05-2024": month, day, year; empty when the time is not kept.
QString propertyDate(const FileTime &time);

struct FolderProperties {
    QString name;
    QString created; // empty where the file system keeps no birth time
    QString modified;
    QString path;
};

Result<FolderProperties> folderProperties(const QString &path);

} // namespace quenda
