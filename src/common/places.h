#pragma once

#include <QString>

namespace quenda {

inline constexpr const char *kDatabaseFileName = "QUENDADATA.Dll";

// The existing file whose name matches under any letter case, else the default name in the
// program folder. Finding the file is a matter of places; opening it belongs to the database.
QString locateDatabaseFile(const QString &programDir);

// Where the program keeps its database and where it writes for the device.
struct Places {
    QString programDir; // holds the organizer database
    QString desktopDir; // empty when the platform cannot name it
    QString homeDir;    // parent of the user files folder

    QString stagingDir() const;   // Desktop/Ipod
    QString userFilesDir() const; // ~/QDuserFiles
    QString databasePath() const; // the organizer database, found under any letter case

    // The program folder is QUENDA_PROGRAM_DIR when set; else the executable's folder when it
    // already holds the database (a portable copy run from a stick or a build tree); else the
    // user's data folder, $XDG_DATA_HOME/quenda. QUENDA_DESKTOP_DIR overrides the XDG Desktop.
    static Places fromEnvironment(const QString &executableDir);

    // Creates a missing program folder (an installed program's first start).
    bool ensureProgramDir() const;
};

// $XDG_DATA_HOME/quenda, ~/.local/share/quenda when XDG_DATA_HOME is unset or relative.
QString userDataDir();

// The Desktop for id 0; "" for any id the platform cannot name.
QString specialFolderPath(int id);

} // namespace quenda
