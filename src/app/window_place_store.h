#pragma once
// Where each program window last stood, kept in the database between runs. Both calls open a
// connection that never waits for another writer: a place is a convenience, never worth a
// stalled window.

#include "common/result.h"

#include <QByteArray>
#include <QString>

namespace quenda {

// The geometry kept for the window; empty when none is kept or it cannot be read.
QByteArray keptWindowPlace(const QString &databasePath, const QString &window);
// Keeps the geometry; a database that cannot be opened keeps nothing and is no failure.
Status keepWindowPlace(const QString &databasePath, const QString &window,
                       const QByteArray &geometry);

} // namespace quenda
