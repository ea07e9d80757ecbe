#include "player/player_discovery.h"

#include "fs/native_path.h"

#include <QDBusMessage>
#include <QDir>
#include <QSocketNotifier>
#include <QStorageInfo>

#include <fcntl.h>
#include <unistd.h>

namespace quenda {

namespace {

constexpr int kSettleMs = 150;

std::vector<Player> playersOfRoots(const QStringList &roots)
{
    std::vector<Player> out;
    for (const QString &root : roots) {
        if (root.isEmpty() || !isPlayerRoot(root) || playerAt(out, root))
            continue;
        out.push_back(describePlayer(root, volumeLabelAt(root)));
    }
    return out;
}

std::vector<Player> playersOfUDisks(const std::vector<UDisksFilesystem> &filesystems)
{
    std::vector<Player> out;
    for (const UDisksFilesystem &fs : filesystems) {
        for (const QString &mountPoint : fs.mountPoints) {
            if (!isPlayerRoot(mountPoint) || playerAt(out, mountPoint))
                continue;
            Player known;
            known.model = fs.driveModel;
            known.sizeBytes = fs.driveSize > 0 ? fs.driveSize : fs.blockSize;
            known.blockObject = fs.blockObject;
            known.driveObject = fs.driveObject == QLatin1String("/") ? QString() : fs.driveObject;
            Player player = describePlayer(mountPoint, fs.label, known);
            player.readOnly = player.readOnly || fs.readOnly;
            out.push_back(std::move(player));
        }
    }
    return out;
}

std::vector<Player> playersOfMountTable()
{
    std::vector<Player> out;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        if (root == QLatin1String("/") || !isPlayerRoot(root) || playerAt(out, root))
            continue;
        out.push_back(describePlayer(root, volume.name()));
    }
    return out;
}

} // namespace

PlayerSources PlayerSources::fromEnvironment()
{
    PlayerSources sources;
    if (qEnvironmentVariableIsSet("QUENDA_PLAYER_ROOTS"))
        sources.roots =
            qEnvironmentVariable("QUENDA_PLAYER_ROOTS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    else
        sources.bus = QDBusConnection::systemBus();
    return sources;
}

PlayerList findPlayers(const PlayerSources &sources)
{
    if (sources.roots)
        return {playersOfRoots(*sources.roots), DiscoverySource::Roots};
    if (sources.bus) {
        const Result<std::vector<UDisksFilesystem>> listed =
            UDisksClient(*sources.bus).filesystems();
        if (listed)
            return {playersOfUDisks(*listed), DiscoverySource::UDisks};
    }
    return {playersOfMountTable(), DiscoverySource::MountTable};
}

const Player *playerAt(const std::vector<Player> &players, const QString &root)
{
    const QString clean = QDir::cleanPath(root);
    for (const Player &player : players) {
        if (player.root == clean)
            return &player;
    }
    return nullptr;
}

PlayerDiscovery::PlayerDiscovery(PlayerSources sources, QObject *parent)
    : QObject(parent), m_sources(std::move(sources))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PlayerDiscovery::refresh);
}

PlayerDiscovery::~PlayerDiscovery()
{
    m_mountNotifier.reset();
    if (m_mountFd >= 0)
        ::close(m_mountFd);
}

void PlayerDiscovery::start()
{
    if (m_started)
        return;
    m_started = true;
    PlayerList first = findPlayers(m_sources);
    m_source = first.source;
    if (m_source == DiscoverySource::UDisks)
        watchUDisks();
    else if (m_source == DiscoverySource::MountTable)
        watchMountTable();
    apply(std::move(first.players));
}

void PlayerDiscovery::refresh()
{
    if (!m_started) {
        start();
        return;
    }
    PlayerList now = findPlayers(m_sources);
    // UDisks2 went away: the mount table takes over until the next start.
    if (m_source == DiscoverySource::UDisks && now.source == DiscoverySource::MountTable) {
        m_source = DiscoverySource::MountTable;
        watchMountTable();
    }
    apply(std::move(now.players));
}

void PlayerDiscovery::onUDisksSignal()
{
    m_settle.start();
}

void PlayerDiscovery::watchUDisks()
{
    QDBusConnection bus = *m_sources.bus;
    const QString service = QLatin1String(kUDisksService);
    const QString manager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
    // The added and removed objects are not read from the signals: one fresh look after a
    // burst of them is simpler and always right. Mount points change by PropertiesChanged.
    bus.connect(service, QLatin1String(kUDisksPath), manager, QStringLiteral("InterfacesAdded"),
                this, SLOT(onUDisksSignal()));
    bus.connect(service, QLatin1String(kUDisksPath), manager, QStringLiteral("InterfacesRemoved"),
                this, SLOT(onUDisksSignal()));
    bus.connect(service, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this, SLOT(onUDisksSignal()));
}

void PlayerDiscovery::watchMountTable()
{
    if (m_mountNotifier)
        return;
    // The kernel marks this file as changed (an exceptional condition for poll) on every mount.
    m_mountFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_mountFd < 0)
        return;
    m_mountNotifier = std::make_unique<QSocketNotifier>(m_mountFd, QSocketNotifier::Exception);
    connect(m_mountNotifier.get(), &QSocketNotifier::activated, this, [this] {
        // Reading to the end re-arms the notification.
        char buffer[4096];
        (void)::lseek(m_mountFd, 0, SEEK_SET);
        while (::read(m_mountFd, buffer, sizeof buffer) > 0) {
        }
        m_settle.start();
    });
}

void PlayerDiscovery::apply(std::vector<Player> now)
{
    std::vector<Player> before = std::move(m_players);
    m_players = std::move(now);
    for (const Player &old : before) {
        if (!playerAt(m_players, old.root))
            Q_EMIT playerDisappeared(old.root);
    }
    for (const Player &player : m_players) {
        const Player *old = playerAt(before, player.root);
        if (!old)
            Q_EMIT playerAppeared(player);
        else if (!(*old == player))
            Q_EMIT playerChanged(player);
    }
}

} // namespace quenda
