#include "common/places.h"

#include "db/database.h"

#include <QDir>
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

Places Places::fromEnvironment(const QString &executableDir)
{
    Places places;
    const QString program = qEnvironmentVariable("QUENDA_PROGRAM_DIR");
    places.programDir = QDir::cleanPath(program.isEmpty() ? executableDir : program);
    places.desktopDir = specialFolderPath(0);
    places.homeDir = QDir::homePath();
    return places;
}

} // namespace quenda
