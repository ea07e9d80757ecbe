#include "common/places.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace quenda {

QString locateDatabaseFile(const QString &programDir)
{
    const QDir dir(QDir::fromNativeSeparators(programDir));
    const QString wanted = QString::fromLatin1(kDatabaseFileName);
    if (QFileInfo::exists(dir.filePath(wanted)))
        return dir.filePath(wanted);
    // A spelling that names an existing file wins over one that is a dangling link: a database
    // is never created through a link when the real one lies beside it.
    QStringList files, dangling;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        (QFileInfo::exists(dir.filePath(name)) ? files : dangling) << name;
    }
    QStringList &matches = files.isEmpty() ? dangling : files;
    if (matches.isEmpty())
        return dir.filePath(wanted);
    matches.sort(); // more than one spelling: take a stable choice
    return dir.filePath(matches.first());
}

QString Places::stagingDir() const
{
    if (desktopDir.isEmpty())
        return QString();
    return QDir(desktopDir).filePath(QStringLiteral("Ipod"));
}

QString Places::userFilesDir() const
{
    return QDir(homeDir.isEmpty() ? QDir::homePath() : homeDir)
        .filePath(QStringLiteral("QDuserFiles"));
}

QString Places::databasePath() const
{
    return locateDatabaseFile(programDir);
}

QString specialFolderPath(int id)
{
    if (id != 0)
        return QString();
    const QString overridden = qEnvironmentVariable("QUENDA_DESKTOP_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString userDataDir()
{
    // The XDG rule: a relative XDG_DATA_HOME is invalid and ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir(QDir::homePath()).filePath(QStringLiteral(".local/share"));
    return QDir::cleanPath(QDir(base).filePath(QStringLiteral("quenda")));
}

Places Places::fromEnvironment(const QString &executableDir)
{
    Places places;
    const QString program = qEnvironmentVariable("QUENDA_PROGRAM_DIR");
    if (!program.isEmpty())
        places.programDir = QDir::cleanPath(program);
    else if (QFileInfo(locateDatabaseFile(executableDir)).isFile())
        places.programDir = QDir::cleanPath(executableDir);
    else
        places.programDir = userDataDir();
    places.desktopDir = specialFolderPath(0);
    places.homeDir = QDir::homePath();
    return places;
}

bool Places::ensureProgramDir() const
{
    return QDir().mkpath(programDir);
}

} // namespace quenda
