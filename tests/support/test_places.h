#pragma once

#include "common/places.h"
#include "db/database.h"

#include <QTemporaryDir>

#include <memory>

namespace quenda::test {

// A program folder, a Desktop and a home in one temporary folder; never the user's own.
class TempPlaces {
public:
    // With createDatabase, the program folder gets a fresh organizer database.
    explicit TempPlaces(bool createDatabase = true);

    const Places &places() const { return m_places; }
    QString root() const { return m_dir.path(); }
    QString programDir() const { return m_places.programDir; }
    QString desktopDir() const { return m_places.desktopDir; }
    QString stagingDir() const { return m_places.stagingDir(); }
    QString databasePath() const { return m_places.databasePath(); }
    // Creates a file with the given bytes (folders included); returns its path.
    QString writeFile(const QString &relativePath, const QByteArray &bytes) const;

    // A connection to the temporary organizer database.
    std::unique_ptr<Connection> connect() const;

private:
    QTemporaryDir m_dir;
    Places m_places;
};

// Reads a whole file; empty when it cannot be read.
QByteArray readAll(const QString &path);

} // namespace quenda::test
