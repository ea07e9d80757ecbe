#include "foldercopier/info_panes.h"

#include "fs/native_path.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <vector>

namespace quenda {

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString absolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString parentOf(const QString &absolutePath)
{
    const qsizetype slash = absolutePath.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return slash == 0 && absolutePath.size() > 1 ? QStringLiteral("/") : QString();
    return absolutePath.left(slash);
}

QString nameOf(const QString &absolutePath)
{
    return absolutePath == QLatin1String("/") ? absolutePath
                                              : absolutePath.section(QLatin1Char('/'), -1);
}

bool inGroup(gid_t gid)
{
    if (gid == getegid())
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<size_t>(i)] == gid)
            return true;
    return false;
}

// The permission bits that apply to this user, as a file manager shows them; a read-only
// mount makes everything on it read-only.
bool userMayWrite(const QByteArray &native)
{
    struct stat st {};
    if (stat(native.constData(), &st) != 0 && lstat(native.constData(), &st) != 0)
        return false;
    struct statvfs vfs {};
    if (statvfs(native.constData(), &vfs) == 0 && (vfs.f_flag & ST_RDONLY))
        return false;
    if (st.st_uid == geteuid())
        return st.st_mode & S_IWUSR;
    if (inGroup(st.st_gid))
        return st.st_mode & S_IWGRP;
    return st.st_mode & S_IWOTH;
}

QString folderTypeComment()
{
    return QMimeDatabase().mimeTypeForName(QStringLiteral("inode/directory")).comment();
}

QString mimeComment(const QString &path, bool regularFile)
{
    const QMimeDatabase mimes;
    // Content is looked at only for regular files: a pipe would block the reader.
    const QMimeType type = regularFile ? mimes.mimeTypeForFile(path)
                                       : mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.comment();
}

} // namespace

QString attributeNames(const QString &path)
{
    const QByteArray native = toNativePath(path);
    struct stat own {};
    if (lstat(native.constData(), &own) != 0)
        return QString();
    struct stat target {};
    const bool resolved = stat(native.constData(), &target) == 0;
    QString names;
    if (S_ISLNK(own.st_mode))
        names += QStringLiteral("Alias ");
    if (S_ISDIR(own.st_mode) || (resolved && S_ISDIR(target.st_mode)))
        names += QStringLiteral("Directory ");
    if (nameOf(absolute(path)).startsWith(QLatin1Char('.')))
        names += QStringLiteral("Hidden ");
    if (!userMayWrite(native))
        names += QStringLiteral("ReadOnly ");
    return names;
}

bool isMountRoot(const QString &path)
{
    const QString full = absolute(path);
    if (full == QLatin1String("/"))
        return true;
    struct stat here {};
    struct stat above {};
    if (stat(toNativePath(full).constData(), &here) != 0 ||
        stat(toNativePath(parentOf(full)).constData(), &above) != 0)
        return false;
    // A bind mount of a folder of the same file system shows only in the mount table.
    return here.st_dev != above.st_dev || driveOfPath(full).rootPath == full;
}

QString paneDate(const FileTime &time)
{
    return time.valid ? QLocale().toString(time.toDateTime(), QLocale::ShortFormat) : QString();
}

QString propertyDate(const FileTime &time)
{
    return time.valid ? time.toDateTime().toString(QStringLiteral("MM-dd-yyyy")) : QString();
}

InfoPane drivePane(const DriveInfo &drive)
{
    QString rootFolder = drive.rootPath;
    if (!rootFolder.endsWith(QLatin1Char('/')))
        rootFolder += QLatin1Char('/');
    return {{
        {QStringLiteral("Available Space:"), QString::number(drive.availableBytes)},
        {QStringLiteral("Drive Letter:"), drive.device},
        {QStringLiteral("Drive Type:"), drive.typeName()},
        {QStringLiteral("Filesystem:"), drive.fileSystem},
        {QStringLiteral("Free Space:"), QString::number(drive.freeBytes)},
        {QStringLiteral("Ready:"), boolText(drive.ready)},
        {QStringLiteral("Path:"), drive.rootPath},
        {QStringLiteral("Rootfolder:"), rootFolder},
        {QStringLiteral("Serialnumber:"), QString::number(drive.serialNumber)},
        {QStringLiteral("Share Name:"), drive.shareName},
        {QStringLiteral("Total Size:"), QString::number(drive.totalBytes)},
        {QStringLiteral("Volume Name:"), drive.volumeLabel},
    }};
}

Result<InfoPane> folderPane(const QString &path)
{
    const Result<EntryMeta> meta = statEntry(path, true);
    if (!meta)
        return meta.error();
    const QString full = absolute(path);
    return InfoPane{{
        {QStringLiteral("Attributes:"), attributeNames(full)},
        {QStringLiteral("Created:"), paneDate(meta->birth)},
        {QStringLiteral("Last Accessed:"), paneDate(meta->accessed)},
        {QStringLiteral("Last Modified:"), paneDate(meta->modified)},
        {QStringLiteral("Root Folder ?:"), boolText(isMountRoot(full))},
        {QStringLiteral("Name:"), nameOf(full)},
        {QStringLiteral("Parent Folder:"), parentOf(full)},
        {QStringLiteral("Path:"), full},
        // Linux has no 8.3 names: the short forms are the names themselves.
        {QStringLiteral("Short Name:"), nameOf(full)},
        {QStringLiteral("Short Path:"), full},
        {QStringLiteral("Size:"), QString()},
        {QStringLiteral("Type:"), folderTypeComment()},
    }};
}

Result<InfoPane> filePane(const QString &path)
{
    // A link is described by its target where it has one, else by itself.
    Result<EntryMeta> meta = statEntry(path, true);
    if (!meta)
        meta = statEntry(path, false);
    if (!meta)
        return meta.error();
    const QString full = absolute(path);
    return InfoPane{{
        {QStringLiteral("Attributes:"), attributeNames(full)},
        {QStringLiteral("Created:"), paneDate(meta->birth)},
        {QStringLiteral("Last Accessed:"), paneDate(meta->accessed)},
        {QStringLiteral("Last Modified:"), paneDate(meta->modified)},
        {QStringLiteral("Drive:"), driveOfPath(full).rootPath},
        {QStringLiteral("Name:"), nameOf(full)},
        {QStringLiteral("Parent Folder:"), parentOf(full)},
        {QStringLiteral("Path:"), full},
        // Linux has no 8.3 names: the short forms are the names themselves.
        {QStringLiteral("Short Name:"), nameOf(full)},
        {QStringLiteral("Short Path:"), full},
        {QStringLiteral("Size:"), QString::number(meta->size)},
        {QStringLiteral("Type:"), mimeComment(full, meta->kind == EntryKind::File)},
    }};
}

Result<FolderProperties> folderProperties(const QString &path)
{
    const Result<EntryMeta> meta = statEntry(path, true);
    if (!meta)
        return meta.error();
    const QString full = absolute(path);
    return FolderProperties{nameOf(full), propertyDate(meta->birth), propertyDate(meta->modified),
                            full};
}

} // namespace quenda
