#include "app/window_place_store.h"

#include "db/database.h"
#include "db/setup.h"

namespace quenda {

QByteArray keptWindowPlace(const QString &databasePath, const QString &window)
{
    Connection connection(databasePath, BusyWait::None);
    if (!connection.isOpen())
        return {};
    const Result<QByteArray> kept = windowPlace(connection.db(), window);
    return kept ? *kept : QByteArray();
}

Status keepWindowPlace(const QString &databasePath, const QString &window,
                       const QByteArray &geometry)
{
    Connection connection(databasePath, BusyWait::None);
    if (!connection.isOpen())
        return {};
    return saveWindowPlace(connection.db(), window, geometry);
}

} // namespace quenda
