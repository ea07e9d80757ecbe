#include "filecopier/office_file_store.h"

#include "db/setup.h"

namespace quenda {

OfficeFileStore::OfficeFileStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<std::vector<QStringList>> OfficeFileStore::files(OfficeTab tab, OfficeOrder order)
{
    return m_connection.ask<std::vector<QStringList>>(
        [&](QSqlDatabase &db) { return officeFileRows(db, tab, order); });
}

Result<std::vector<QStringList>> OfficeFileStore::filesByApplication()
{
    return m_connection.ask<std::vector<QStringList>>(
        [](QSqlDatabase &db) { return officeFileRowsByApplication(db); });
}

QStringList OfficeFileStore::tickedPaths()
{
    const Result<QStringList> paths =
        m_connection.ask<QStringList>([](QSqlDatabase &db) { return selectedOfficeFilePaths(db); });
    return paths ? *paths : QStringList();
}

Status OfficeFileStore::saveTicks(const std::vector<std::pair<QString, bool>> &states)
{
    if (!m_connection.isOpen())
        return m_connection.status();
    return saveOfficeFileSelection(m_connection.db(), states);
}

Status OfficeFileStore::deleteFile(const QString &path)
{
    if (!m_connection.isOpen())
        return m_connection.status();
    return deleteOfficeFilesByPath(m_connection.db(), path);
}

Status OfficeFileStore::deleteAll()
{
    if (!m_connection.isOpen())
        return m_connection.status();
    return deleteAllOfficeFiles(m_connection.db());
}

Result<bool> OfficeFileStore::hasFreeLauncherButton()
{
    return m_connection.ask<bool>(
        [](QSqlDatabase &db) { return quenda::hasFreeLauncherButton(db); });
}

Result<std::vector<LauncherButton>> OfficeFileStore::launcherButtons()
{
    return m_connection.ask<std::vector<LauncherButton>>(
        [](QSqlDatabase &db) { return visibleLauncherButtons(db); });
}

Result<std::optional<LauncherButton>> OfficeFileStore::launcherButton(int id)
{
    return m_connection.ask<std::optional<LauncherButton>>(
        [id](QSqlDatabase &db) { return quenda::launcherButton(db, id); });
}

Status OfficeFileStore::freeLauncherButton(int id)
{
    if (!m_connection.isOpen())
        return m_connection.status();
    return quenda::freeLauncherButton(m_connection.db(), id);
}

std::optional<QString> OfficeFileStore::helpText(const QString &code)
{
    const Result<QString> text =
        m_connection.ask<QString>([&](QSqlDatabase &db) { return tooltipText(db, code); });
    return text ? std::optional<QString>(*text) : std::nullopt;
}

} // namespace quenda
