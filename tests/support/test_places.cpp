#include "support/test_places.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace quenda::test {

TempPlaces::TempPlaces(bool createDatabase)
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("program"));
    root.mkpath(QStringLiteral("Desktop"));
    root.mkpath(QStringLiteral("home"));
    m_places.programDir = root.filePath(QStringLiteral("program"));
    m_places.desktopDir = root.filePath(QStringLiteral("Desktop"));
    m_places.homeDir = root.filePath(QStringLiteral("home"));
    if (createDatabase) {
        if (const Status ready = ensureDatabase(m_places.databasePath()); !ready)
            throw std::runtime_error(ready.message().toStdString());
    }
}

QString TempPlaces::writeFile(const QString &relativePath, const QByteArray &bytes) const
{
    const QString path = QDir(m_dir.path()).filePath(relativePath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

std::unique_ptr<Connection> TempPlaces::connect() const
{
    return std::make_unique<Connection>(m_places.databasePath());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace quenda::test
