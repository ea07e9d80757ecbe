#include "foldercopier/scheme_store.h"

#include "db/launcher.h"
#include "foldercopier/info_panes.h"
#include "foldercopier/scheme_scan.h"

namespace quenda {

FolderSchemeStore::FolderSchemeStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

Result<QStringList> FolderSchemeStore::names()
{
    return m_connection.ask<QStringList>([](QSqlDatabase &db) { return folderSchemeNames(db); });
}

Result<std::vector<SchemeFolderRow>> FolderSchemeStore::rows(const QString &scheme,
                                                             SchemeRows which)
{
    return m_connection.ask<std::vector<SchemeFolderRow>>(
        [&](QSqlDatabase &db) { return schemeFolderRows(db, scheme, which); });
}

Result<int> FolderSchemeStore::saveTicks(const QString &scheme,
                                         const std::vector<std::pair<QString, bool>> &ticks)
{
    return m_connection.ask<int>(
        [&](QSqlDatabase &db) { return saveSchemeTicks(db, scheme, ticks); });
}

Status FolderSchemeStore::deleteAll()
{
    return m_connection.ask<void>([&](QSqlDatabase &db) { return deleteAllSchemeFolders(db); });
}

QString FolderSchemeStore::recordedRoot(const QString &scheme)
{
    const Result<std::vector<SchemeFolderRow>> recorded = rows(scheme);
    return recorded ? schemeRoot(*recorded) : QString();
}

Status FolderSchemeStore::putOnLauncher(const QString &folder)
{
    const Result<FolderProperties> properties = folderProperties(folder);
    if (!properties)
        return properties.error();
    return m_connection.ask<void>([&](QSqlDatabase &db) {
        return setFirstLauncherButton(db, properties->name, properties->path);
    });
}

} // namespace quenda
