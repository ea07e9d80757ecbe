#include "app/FrmMDI.h"
#include "jobs/job_runner.h"
#include "player/FrmSendPlayer.h"
#include "player/player_eject.h"
#include "player/player_list_model.h"
#include "player/player_panel.h"
#include "support/scoped_env.h"
#include "support/test_places.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace quenda;
using namespace quenda::test;

namespace {

Player player(const QString &root, const QString &name, qint64 freeBytes)
{
    Player p;
    p.root = root;
    p.name = name;
    p.freeBytes = freeBytes;
    p.sizeBytes = freeBytes * 2;
    return p;
}

// A staging folder with two cards and a note longer than the player shows whole, and a player
// (found through QUENDA_PLAYER_ROOTS) that already holds one of the cards.
struct PlayerScene {
    TempPlaces places;
    TestServices doubles;
    QString root = places.root() + QStringLiteral("/Player");
    ScopedEnv roots{"QUENDA_PLAYER_ROOTS", root.toUtf8()};

    PlayerScene()
    {
        places.writeFile(QStringLiteral("Player/iPod_Control/Device/SysInfo"), "");
        places.writeFile(QStringLiteral("Player/Contacts/Anna.vcf"), "old card");
        places.writeFile(QStringLiteral("Desktop/Ipod/Anna.vcf"), "BEGIN:VCARD\r\nEND:VCARD\r\n");
        places.writeFile(QStringLiteral("Desktop/Ipod/Bob.vcf"), "BEGIN:VCARD\r\nEND:VCARD\r\n");
        places.writeFile(QStringLiteral("Desktop/Ipod/Long.txt"), QByteArray(6000, 'x'));
    }
    Services services() { return doubles.services(places.places()); }
};

} // namespace

TEST(PlayerListModelTest, FollowsPlayersAsTheyComeChangeAndGo)
{
    PlayerListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setPlayers({player("/media/a", "A", 1024), player("/media/b/", "B", 0)});
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, PlayerListModel::FreeColumn).data().toString(), "1.0 KB");
    EXPECT_EQ(model.index(1, PlayerListModel::NameColumn).data(PlayerListModel::RootRole),
              QStringLiteral("/media/b/"));

    // A root is the same player whether or not it ends in a separator.
    model.addOrUpdate(player("/media/b", "B renamed", 3LL << 30));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(1, PlayerListModel::NameColumn).data().toString(), "B renamed");
    EXPECT_EQ(model.index(1, PlayerListModel::FreeColumn).data().toString(), "3.0 GB");
    model.addOrUpdate(player("/media/c", "C", 512));
    EXPECT_EQ(model.index(2, PlayerListModel::FreeColumn).data().toString(), "512 bytes");
    model.removeRoot(QStringLiteral("/media/a"));
    model.removeRoot(QStringLiteral("/media/none"));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.playerAt(0)->name, "B renamed");
    EXPECT_EQ(model.playerAt(5), nullptr);
}

// The main window's player panel counts what waits and opens the send window, which previews,
// sends and tells what it replaced.
TEST(SendPlayerWindowTest, PreviewsSendsAndTellsWhatItReplaced)
{
    PlayerScene scene;
    FrmMDI main(scene.services());
    PlayerPanel *panel = main.playerPanel();
    panel->countJob()->wait();
    EXPECT_TRUE(control<QLabel>(panel, "LblStaging")->text().contains("2 contacts and 1 note"))
        << control<QLabel>(panel, "LblStaging")->text().toStdString();
    ASSERT_EQ(panel->players()->rowCount(), 1);
    QDialog *opened = nullptr;
    QObject::connect(&main, &FrmMDI::windowOpened, [&opened](QDialog *w, bool) { opened = w; });
    control<QPushButton>(panel, "CmdSendPlayer")->click();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->windowTitle(), "Send to player");
    std::unique_ptr<FrmSendPlayer> owned(qobject_cast<FrmSendPlayer *>(opened));
    ASSERT_TRUE(owned);
    FrmSendPlayer &window = *owned;
    window.planJob()->wait();
    const QString preview = control<QPlainTextEdit>(&window, "TxtPreview")->toPlainText();
    EXPECT_TRUE(preview.contains("2 contacts and 1 note (1 note cut into pieces"))
        << preview.toStdString();
    EXPECT_TRUE(preview.contains("Will replace on the player (1):\n  Contacts/Anna.vcf"))
        << preview.toStdString();
    EXPECT_TRUE(preview.contains("Folders made on the player: Notes."));
    EXPECT_TRUE(control<QPushButton>(&window, "CmdSend")->isEnabled());

    // Options changed while a plan is being made are planned again when it ends.
    control<QCheckBox>(&window, "ChkContacts")->setChecked(false);
    window.planJob()->wait();
    window.planJob()->wait();
    const QString notesOnly = control<QPlainTextEdit>(&window, "TxtPreview")->toPlainText();
    EXPECT_TRUE(notesOnly.contains("To send to Player: 1 note")) << notesOnly.toStdString();
    EXPECT_FALSE(notesOnly.contains("Anna.vcf"));
    control<QCheckBox>(&window, "ChkContacts")->setChecked(true);
    window.planJob()->wait();

    control<QPushButton>(&window, "CmdSend")->click();
    window.sendJob()->wait();
    ASSERT_FALSE(scene.doubles.messages.texts().isEmpty());
    const QString summary = scene.doubles.messages.texts().first();
    EXPECT_TRUE(summary.startsWith("Sent to Player: 2 contacts and 1 note"))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains("Replaced on the player (1):\n  Contacts/Anna.vcf"));
    EXPECT_TRUE(QFileInfo::exists(scene.root + "/Notes/Long (1 of 2).txt"));
    EXPECT_EQ(scene.doubles.messages.shown.front().icon, MsgIcon::Information);
    EXPECT_TRUE(window.close()) << "with nothing running the window closes without asking";
}

TEST(SendPlayerWindowTest, RefusalsKeepSendOffAndEjectWithoutUDisksSaysHow)
{
    PlayerScene scene;
    // The "Notes" folder is a file on this player: the plan says why and nothing may start.
    scene.places.writeFile(QStringLiteral("Player/Notes"), "not a folder");
    PlayerListModel players;
    players.setPlayers({player(scene.root, "Player", 1LL << 30)});
    FrmSendPlayer window(scene.services(), &players, scene.root);
    window.planJob()->wait();
    const QString preview = control<QPlainTextEdit>(&window, "TxtPreview")->toPlainText();
    EXPECT_FALSE(control<QPushButton>(&window, "CmdSend")->isEnabled()) << preview.toStdString();
    EXPECT_TRUE(preview.contains("Notes")) << preview.toStdString();
    window.send(); // refused by the plan inside the job too: nothing written
    window.sendJob()->wait();
    EXPECT_FALSE(QFileInfo::exists(scene.root + "/Contacts/Bob.vcf"));

    scene.doubles.messages.shown.clear();
    window.eject();
    window.ejectJob()->wait();
    ASSERT_EQ(scene.doubles.messages.shown.size(), 1u);
    EXPECT_EQ(scene.doubles.messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(scene.doubles.messages.shown[0].text.toStdString(),
              desktopEjectHint(players.players()[0]).toStdString());

    // Every player gone: the window says so and offers nothing to press.
    players.setPlayers({});
    window.planJob()->wait();
    EXPECT_EQ(control<QPlainTextEdit>(&window, "TxtPreview")->toPlainText(),
              "No player is plugged in.");
    EXPECT_FALSE(control<QPushButton>(&window, "CmdSend")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(&window, "CmdEject")->isEnabled());
}
