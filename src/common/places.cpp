#include "common/places.h"

#include "db/database.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quenda {

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
