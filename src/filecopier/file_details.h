#pragma once
// What the properties window shows of one listed file, read from the file system now.

#include <QDateTime>
#include <QString>

namespace quenda {

struct FileDetails {
    QString name;
    QString path;
    bool exists = false;
    qint64 size = 0;
    QDateTime created; // the birth time; the last change where the file system keeps none
    QDateTime modified;
};

// A link is described by the file it points at; a file that is gone gives its name and path.
FileDetails describeFile(const QString &path);

// The photo viewer of the program folder when it is there and may be run; empty otherwise.
QString photoViewerIn(const QString &programDir);

} // namespace quenda
