#pragma once
// Finding the players that are plugged in. Three sources, first match wins:
// - QUENDA_PLAYER_ROOTS, folders separated by ":", replaces discovery (tests and scripts);
// - UDisks2 over D-Bus where it runs: it names the players (label, drive model, size) and
//   tells of each one plugged in or taken out;
// - else the mount table, read again whenever it changes.
// A root counts only while it holds the player's control folder.

#include "player/player_device.h"
#include "player/udisks.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class QSocketNotifier;

namespace quenda {

enum class DiscoverySource : quint8 { Roots, UDisks, MountTable };

struct PlayerSources {
    std::optional<QStringList> roots;   // set: these folders and nothing else
    std::optional<QDBusConnection> bus; // the bus UDisks2 is asked on; none: mount table only
    // QUENDA_PLAYER_ROOTS when set, and the system bus.
    static PlayerSources fromEnvironment();
};

struct PlayerList {
    std::vector<Player> players; // in the order of their roots
    DiscoverySource source = DiscoverySource::MountTable;
};

// One look, for the command line.
PlayerList findPlayers(const PlayerSources &sources);

// The player whose root is root (paths compared once cleaned), or null.
const Player *playerAt(const std::vector<Player> &players, const QString &root);

// Keeps the list of players current for a window: players() now, and a signal for each one
// that comes or goes. Lives on the thread that made it; start() takes the first look.
class PlayerDiscovery : public QObject {
    Q_OBJECT
public:
    explicit PlayerDiscovery(PlayerSources sources, QObject *parent = nullptr);
    ~PlayerDiscovery() override;

    void start();
    // Looks again at once (the roots of QUENDA_PLAYER_ROOTS are only looked at on request).
    void refresh();

    const std::vector<Player> &players() const { return m_players; }
    DiscoverySource source() const { return m_source; }

Q_SIGNALS:
    void playerAppeared(const quenda::Player &player);
    void playerDisappeared(const QString &root);
    // Free space or name of a known player changed.
    void playerChanged(const quenda::Player &player);

private Q_SLOTS:
    void onUDisksSignal();

private:
    void watchUDisks();
    void watchMountTable();
    void apply(std::vector<Player> now);

    PlayerSources m_sources;
    DiscoverySource m_source = DiscoverySource::MountTable;
    std::vector<Player> m_players;
    QTimer m_settle; // gathers a burst of bus or mount signals into one look
    std::unique_ptr<QSocketNotifier> m_mountNotifier;
    int m_mountFd = -1;
    bool m_started = false;
};

} // namespace quenda
