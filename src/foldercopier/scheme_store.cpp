#include "foldercopier/scheme_store.h"

#include "db/launcher.h"
#include "foldercopier/info_panes.h"
#include "foldercopier/scheme_scan.h"

namespace quenda {

FolderSchemeStore::FolderSchemeStore(const QString &databasePath)
    : m_connection(databasePath, BusyWait::Short)
{
}

template <class T, class F> Result<T> FolderSchemeStore::ask(F &&call)
{
    if (!m_connection.isOpen())
        return m_connection.status().error();
    return call(m_connection.db());
}

Result<QStringList> FolderSchemeStore::names()
{
    return ask<QStringList>([](QSqlDatabase &db) { return folderSchemeNames(db); });
}

Result<std::vector<SchemeFolderRow>> FolderSchemeStore::rows(const QString &scheme,
                                                             SchemeRows which)
{
    return ask<std::vector<SchemeFolderRow>>(
        [&](QSqlDatabase &db) { return schemeFolderRows(db, scheme, which); });
}

Result<int> FolderSchemeStore::saveTicks(const QString &scheme,
                                         const std::vector<std::pair<QString, bool>> &ticks)
{
    return ask<int>([&](QSqlDatabase &db) { return saveSchemeTicks(db, scheme, ticks); });
}

Status FolderSchemeStore::deleteAll()
{
    if (!m_connection.isOpen())
        return m_connection.status();
    return deleteAllSchemeFolders(m_connection.db());
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
    if (!m_connection.isOpen())
        return m_connection.status();
    return setFirstLauncherButton(m_connection.db(), properties->name, properties->path);
}

} // namespace quenda
