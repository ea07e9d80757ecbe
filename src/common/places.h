#pragma once

#include <QString>

namespace quenda {

// Where the program keeps its database and where it writes for the device.
struct Places {
    QString programDir; // holds the organizer database
    QString desktopDir; // empty when the platform cannot name it
    QString homeDir;    // parent of the user files folder

    QString stagingDir() const;   // Desktop/Ipod
    QString userFilesDir() const; // ~/QDuserFiles
    QString databasePath() const; // the organizer database, found under any letter case

    // QUENDA_PROGRAM_DIR and QUENDA_DESKTOP_DIR override the executable's folder and the
    // XDG Desktop.
    static Places fromEnvironment(const QString &executableDir);
};

// The Desktop for id 0; "" for any id the platform cannot name.
QString specialFolderPath(int id);

} // namespace quenda
