#pragma once
// Where a recorded picture folder comes from and where it goes. The device takes pictures from
// one level of folders only, so the first two levels below the chosen folder are flattened into
// one name, "Pics-Trip-Day1", and the third and fourth levels stay folders inside it.

#include "common/result.h"
#include "db/picture_folders.h"

#include <QString>
#include <QStringList>

namespace quenda {

// The last component of the chosen folder; "" for the root of the file system.
QString rootNameOf(const QString &folderPath);

// The chosen folder as it is recorded: absolute, cleaned, no trailing separator but for "/".
QString recordedFolderPath(const QString &chosen);

// "Pics-Trip-Day1/Morning": the root name, "-" before the first and second names, "/" before
// the third and fourth; empty names are passed over.
QString destinationName(const QString &rootName, const QStringList &names);

// The folder a row stands for: the recorded folder followed by the row's names.
QString sourcePathOf(const PictureFolderRow &row);

// The folder inside staging a row is copied to. Refuses a name that would leave staging or is
// no plain folder name (empty, ".", "..", holding "/"), as a table edited by hand may hold.
Result<QString> destinationPath(const QString &staging, const QString &rootName,
                                const QStringList &names);

} // namespace quenda
