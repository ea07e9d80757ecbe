#include "pictures/picture_names.h"

#include "fs/atomic_file.h"

#include <QDir>
#include <QFileInfo>

namespace quenda {

namespace {

bool isPlainName(const QString &name)
{
    return name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

QString rootNameOf(const QString &folderPath)
{
    const qsizetype slash = folderPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? folderPath : folderPath.mid(slash + 1);
}

QString recordedFolderPath(const QString &chosen)
{
    if (chosen.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
}

QString destinationName(const QString &rootName, const QStringList &names)
{
    QString out = rootName;
    for (qsizetype level = 0; level < names.size() && level < 4; ++level) {
        if (names[level].isEmpty())
            continue;
        out += level < 2 ? QLatin1Char('-') : QLatin1Char('/');
        out += names[level];
    }
    return out;
}

QString sourcePathOf(const PictureFolderRow &row)
{
    QString out = row.folderPath;
    for (qsizetype level = 0; level < row.names.size() && level < 4; ++level) {
        if (row.names[level].isEmpty())
            continue;
        if (!out.endsWith(QLatin1Char('/')))
            out += QLatin1Char('/');
        out += row.names[level];
    }
    return out;
}

Result<QString> destinationPath(const QString &staging, const QString &rootName,
                                const QStringList &names)
{
    QString joined = rootName;
    QStringList inner;
    bool hasName = false;
    for (qsizetype level = 0; level < names.size() && level < 4; ++level) {
        const QString &name = names[level];
        if (name.isEmpty())
            continue;
        if (!isPlainName(name))
            return fail(QStringLiteral("\"%1\" is not a folder name").arg(name));
        hasName = true;
        if (level < 2)
            joined += QLatin1Char('-') + name;
        else
            inner << name;
    }
    if (!hasName)
        return fail(QStringLiteral("The row names no sub-folder"));
    Result<QString> path = safeChildPath(staging, joined);
    for (const QString &name : std::as_const(inner)) {
        if (!path)
            break;
        path = safeChildPath(*path, name);
    }
    if (!path)
        return fail(QStringLiteral("\"%1\" cannot be a folder in %2: %3")
                        .arg(destinationName(rootName, names), staging, path.message()));
    return path;
}

} // namespace quenda
