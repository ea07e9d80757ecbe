#pragma once
// A player used as a disk: a mounted file system whose root holds the folder "iPod_Control" in
// any letter case. What the program knows of one, wherever it learnt it.

#include <QByteArray>
#include <QMetaType>
#include <QString>

namespace quenda {

struct Player {
    QString root;  // the mount point
    QString name;  // the volume label, else the mount point's folder name
    QString label; // the volume label; empty when the file system has none
    QString model; // from the player's own description, else from the drive; may be empty
    qint64 sizeBytes = 0;
    qint64 freeBytes = 0;
    bool readOnly = false;
    // Where UDisks2 knows the player: its block and drive objects; empty otherwise.
    QString blockObject;
    QString driveObject;

    bool operator==(const Player &) const = default;
};

// The control folder under root, found under any letter case; empty when there is none.
QString playerControlFolder(const QString &root);
bool isPlayerRoot(const QString &root);

// The model named by the text of the player's SysInfo file ("ModelNumStr: xA623"), else the
// board name it gives; empty when it names neither.
QString modelFromSysInfo(const QByteArray &sysInfo);
// The same, read from iPod_Control/Device/SysInfo under root (any letter case).
QString playerModelAt(const QString &root);

// Name, model, sizes and write state of the player at root; label may come from UDisks2 or
// the mount table. Fields the caller knows already (model of the drive, objects) are kept.
Player describePlayer(const QString &root, const QString &label, Player known = {});

// The label of the file system mounted at root; empty when it has none or root is only a
// folder on another file system (whose label is no name of this player).
QString volumeLabelAt(const QString &root);

// Refreshes the free and total sizes and the read-only state from the file system.
void readSpace(Player &player);

} // namespace quenda

Q_DECLARE_METATYPE(quenda::Player)
