#include "fs/fs_fixture.h"
#include "player/player_discovery.h"
#include "player/player_eject.h"
#include "support/cli_runner.h"
#include "support/scoped_env.h"

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

// UDisks2 played by python-dbusmock on a bus of its own (udisks_mock.py), steered by lines.
class UDisksMock {
public:
    UDisksMock()
    {
        if (QStandardPaths::findExecutable("dbus-run-session").isEmpty() ||
            !QFile::exists("/usr/bin/python3"))
            return;
        m_process.start("dbus-run-session", {"--", "/usr/bin/python3", QUENDA_UDISKS_MOCK});
        if (!m_process.waitForStarted())
            return;
        const QByteArray first = readLine();
        if (!first.startsWith("bus "))
            return;
        m_address = QString::fromUtf8(first.mid(4).trimmed());
        m_bus.emplace(QDBusConnection::connectToBus(m_address, "udisks-mock"));
    }
    ~UDisksMock()
    {
        m_bus.reset();
        QDBusConnection::disconnectFromBus("udisks-mock");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }
    bool running() const { return m_bus && m_bus->isConnected(); }
    QString address() const { return m_address; }
    QDBusConnection bus() const { return *m_bus; }
    QByteArray command(const QStringList &words)
    {
        m_process.write(words.join('\t').toUtf8() + '\n');
        return readLine().trimmed();
    }

private:
    QByteArray readLine()
    {
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(10000);
        return m_process.readLine();
    }

    QProcess m_process;
    QString m_address;
    std::optional<QDBusConnection> m_bus;
};

} // namespace

TEST(PlayerUDisks, DiscoveryNamesPlayersFollowsPlugsAndEjectsThroughUDisks2)
{
    UDisksMock mock;
    if (!mock.running())
        GTEST_SKIP() << "python3-dbusmock or dbus-run-session is not installed";
    TempTree tree;
    const QString first = tree.folder("media/first");
    const QString second = tree.folder("media/second");
    tree.folder("media/first/iPod_Control");
    tree.folder("media/second/iPod_Control");
    const QString busy = tree.path("busy");
    ASSERT_EQ(mock.command({"add", "sdx1", first, "JOE'S IPOD", busy}), "ok");
    ASSERT_EQ(mock.command({"add", "sdz1", tree.folder("media/stick"), "STICK", busy}), "ok");

    PlayerSources sources;
    sources.bus = mock.bus();
    PlayerDiscovery discovery(sources);
    discovery.start();
    EXPECT_EQ(discovery.source(), DiscoverySource::UDisks);
    ASSERT_EQ(discovery.players().size(), 1u);
    const Player player = discovery.players()[0];
    EXPECT_EQ(player.root, first);
    EXPECT_EQ(player.name, "JOE'S IPOD");
    EXPECT_EQ(player.model, "Apple iPod");
    EXPECT_EQ(player.sizeBytes, 8LL * 1024 * 1024 * 1024);
    EXPECT_EQ(player.blockObject, "/org/freedesktop/UDisks2/block_devices/sdx1");

    QSignalSpy appeared(&discovery, &PlayerDiscovery::playerAppeared);
    QSignalSpy disappeared(&discovery, &PlayerDiscovery::playerDisappeared);
    ASSERT_EQ(mock.command({"add", "sdy1", second, "", busy}), "ok");
    ASSERT_TRUE(appeared.wait(5000));
    EXPECT_EQ(appeared.at(0).at(0).value<Player>().name, "second");
    ASSERT_EQ(mock.command({"remove", "sdy1"}), "ok");
    ASSERT_TRUE(disappeared.wait(5000));
    EXPECT_EQ(disappeared.at(0).at(0).toString(), second);
    EXPECT_EQ(discovery.players().size(), 1u);

    // Busy: nothing powered off, and the program holding a file open on it is named.
    QFile marker(busy);
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    QFile held(first + "/iPod_Control/open.txt");
    ASSERT_TRUE(held.open(QIODevice::WriteOnly));
    const Result<QString> refused = ejectPlayer(player, UDisksClient(mock.bus()));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.code(), kUDisksBusy);
    EXPECT_TRUE(refused.message().startsWith("The player JOE'S IPOD is busy (in use by "))
        << refused.message().toStdString();
    EXPECT_TRUE(refused.message().contains(QStringLiteral("(pid %1)").arg(getpid())));
    EXPECT_TRUE(refused.message().contains("target is busy"));
    EXPECT_EQ(mock.command({"calls", "sdx1"}), "calls 1 0");
    held.close();
    marker.remove();

    const Result<QString> ejected = ejectPlayer(player, UDisksClient(mock.bus()));
    ASSERT_TRUE(ejected.ok()) << ejected.message().toStdString();
    EXPECT_EQ(*ejected, "The player JOE'S IPOD is ejected and can be unplugged.");
    EXPECT_EQ(mock.command({"calls", "sdx1"}), "calls 2 1");

    // The command line ejects through the same UDisks2 when it is the system's.
    TempPlaces places(false);
    ScopedEnv roots("QUENDA_PLAYER_ROOTS", std::nullopt);
    ScopedEnv system("DBUS_SYSTEM_BUS_ADDRESS", mock.address().toUtf8());
    const CliRun eject = runCli(places, {"player", "eject"});
    EXPECT_EQ(eject.status, 0) << eject.err.toStdString();
    EXPECT_EQ(eject.out, "The player JOE'S IPOD is ejected and can be unplugged.\n");
    EXPECT_EQ(mock.command({"calls", "sdx1"}), "calls 3 2");
}
