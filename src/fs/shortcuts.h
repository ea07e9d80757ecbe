#pragma once
// Desktop shortcuts: a freedesktop desktop entry "<Name>.desktop" of type Link that opens a
// folder or a file, written atomically and marked executable so that file managers trust it.

#include "common/result.h"

#include <QByteArray>
#include <QString>

namespace quenda {

// file:// URL of a path, every byte but unreserved characters and "/" percent-encoded, so
// that names which are not valid UTF-8 still point at the right file.
QByteArray fileUrl(const QString &path);

// The icon name a file manager shows for target: "folder" for a folder, else the icon of the
// file's MIME type by its name and first bytes ("application-pdf").
QString iconNameFor(const QString &target);

// The text of the entry.
QByteArray desktopEntryText(const QString &name, const QString &target, const QString &icon);

// Writes folder/<name>.desktop (mode 0755) pointing at target, replacing an entry of that name.
// The name comes from data: one with a path separator, or "." or "..", is refused. Returns the
// path of the shortcut file.
Result<QString> createDesktopShortcut(const QString &folder, const QString &name,
                                      const QString &target);

} // namespace quenda
