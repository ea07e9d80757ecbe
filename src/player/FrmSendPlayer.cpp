#include "player/FrmSendPlayer.h"

#include "jobs/job_widgets.h"
#include "player/player_discovery.h"
#include "player/player_eject.h"
#include "player/player_list_model.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenda {

FrmSendPlayer::FrmSendPlayer(const Services &services, PlayerListModel *players,
                             const QString &root, QWidget *parent)
    : QDialog(parent), m_services(services), m_players(players)
{
    setObjectName(QStringLiteral("FrmSendPlayer"));
    setWindowTitle(QStringLiteral("Send to player"));
    resize(560, 420);
    m_planJob = new JobRunner(this);
    m_sendJob = new JobRunner(this);
    m_ejectJob = new JobRunner(this);
    buildControls();
    new JobProgressDialog(m_sendJob, this);
    disableWhileRunning(m_sendJob, this, {CmdSend, CmdEject, CmbPlayer, ChkContacts, ChkNotes});
    disableWhileRunning(m_ejectJob, this, {CmdSend, CmdEject});
    if (const int row = m_players->rowOf(root); row >= 0)
        CmbPlayer->setCurrentIndex(row);
    connect(m_planJob, &JobRunner::finished, this, [this] {
        if (std::exchange(m_planAgain, false))
            refreshPreview();
    });
    // The list changes under the window as players come and go.
    connect(m_players, &QAbstractItemModel::rowsRemoved, this, &FrmSendPlayer::refreshPreview);
    connect(m_players, &QAbstractItemModel::rowsInserted, this, &FrmSendPlayer::refreshPreview);
    connect(m_players, &QAbstractItemModel::modelReset, this, &FrmSendPlayer::refreshPreview);
    refreshPreview();
}

void FrmSendPlayer::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *playerLabel = new QLabel(QStringLiteral("&Player:"), this);
    CmbPlayer = new QComboBox(this);
    CmbPlayer->setObjectName(QStringLiteral("CmbPlayer"));
    CmbPlayer->setModel(m_players);
    CmbPlayer->setModelColumn(PlayerListModel::NameColumn);
    playerLabel->setBuddy(CmbPlayer);
    top->addWidget(playerLabel);
    top->addWidget(CmbPlayer, 1);
    layout->addLayout(top);

    auto *what = new QHBoxLayout;
    ChkContacts = new QCheckBox(QStringLiteral("&Contacts"), this);
    ChkContacts->setObjectName(QStringLiteral("ChkContacts"));
    ChkNotes = new QCheckBox(QStringLiteral("&Notes"), this);
    ChkNotes->setObjectName(QStringLiteral("ChkNotes"));
    ChkContacts->setChecked(true);
    ChkNotes->setChecked(true);
    what->addWidget(ChkContacts);
    what->addWidget(ChkNotes);
    what->addStretch(1);
    layout->addLayout(what);
    LblPictures = new QLabel(
        QStringLiteral("Pictures are not sent: a player used as a disk does not show pictures "
                       "copied onto it."),
        this);
    LblPictures->setObjectName(QStringLiteral("LblPictures"));
    LblPictures->setWordWrap(true);
    layout->addWidget(LblPictures);

    TxtPreview = new QPlainTextEdit(this);
    TxtPreview->setObjectName(QStringLiteral("TxtPreview"));
    TxtPreview->setReadOnly(true);
    layout->addWidget(TxtPreview, 1);

    auto *buttons = new QHBoxLayout;
    CmdSend = new QPushButton(QStringLiteral("&Send"), this);
    CmdSend->setObjectName(QStringLiteral("CmdSend"));
    CmdEject = new QPushButton(QStringLiteral("&Eject"), this);
    CmdEject->setObjectName(QStringLiteral("CmdEject"));
    CmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    CmdClose->setObjectName(QStringLiteral("CmdClose"));
    buttons->addStretch(1);
    buttons->addWidget(CmdSend);
    buttons->addWidget(CmdEject);
    buttons->addWidget(CmdClose);
    layout->addLayout(buttons);

    connect(CmbPlayer, &QComboBox::currentIndexChanged, this, &FrmSendPlayer::refreshPreview);
    connect(ChkContacts, &QCheckBox::toggled, this, &FrmSendPlayer::refreshPreview);
    connect(ChkNotes, &QCheckBox::toggled, this, &FrmSendPlayer::refreshPreview);
    connect(CmdSend, &QPushButton::clicked, this, &FrmSendPlayer::send);
    connect(CmdEject, &QPushButton::clicked, this, &FrmSendPlayer::eject);
    connect(CmdClose, &QPushButton::clicked, this, &QDialog::close);
}

std::optional<Player> FrmSendPlayer::chosenPlayer() const
{
    const Player *player = m_players->playerAt(CmbPlayer->currentIndex());
    return player ? std::optional<Player>(*player) : std::nullopt;
}

PlayerSendRequest FrmSendPlayer::requestFor(const Player &player) const
{
    PlayerSendRequest request;
    request.staging = m_services.places.stagingDir();
    request.player = player;
    request.contacts = ChkContacts->isChecked();
    request.notes = ChkNotes->isChecked();
    return request;
}

void FrmSendPlayer::refreshPreview()
{
    const quint64 generation = ++m_planGeneration;
    if (m_planJob->isRunning()) {
        m_planAgain = true;
        return;
    }
    m_mayStart = false;
    const std::optional<Player> player = chosenPlayer();
    if (!player) {
        TxtPreview->setPlainText(QStringLiteral("No player is plugged in."));
        updateButtons();
        return;
    }
    const PlayerSendRequest request = requestFor(*player);
    TxtPreview->setPlainText(QStringLiteral("Looking at the staging folder and the player..."));
    updateButtons();
    m_planJob->start<std::optional<Result<PlayerSendPlan>>>(
        [request](JobControl &) { return planPlayerSend(request); },
        [this, generation](const std::optional<Result<PlayerSendPlan>> &plan,
                           const JobReport &report) {
            // A plan made for a player or options changed since is not shown: the one that
            // follows is.
            if (generation != m_planGeneration)
                return;
            showPlan(plan ? *plan : Result<PlayerSendPlan>(fail(report.status.message())));
        });
}

void FrmSendPlayer::showPlan(const Result<PlayerSendPlan> &plan)
{
    if (!plan) {
        TxtPreview->setPlainText(plan.message());
        m_mayStart = false;
    } else {
        TxtPreview->setPlainText(playerSendPreview(*plan));
        m_mayStart = plan->files > 0 && plan->allowed.ok();
    }
    updateButtons();
}

void FrmSendPlayer::updateButtons()
{
    const bool busy = m_sendJob->isRunning() || m_ejectJob->isRunning();
    CmdSend->setEnabled(!busy && m_mayStart && !m_planJob->isRunning());
    CmdEject->setEnabled(!busy && chosenPlayer().has_value());
}

void FrmSendPlayer::send()
{
    const std::optional<Player> player = chosenPlayer();
    if (!player || m_sendJob->isRunning() || m_planJob->isRunning())
        return;
    const PlayerSendRequest request = requestFor(*player);
    // The plan is made again inside the job: the staging folder or the player may have
    // changed since the preview.
    m_sendJob->start<PlayerSendOutcome>(
        [request](JobControl &control) { return runPlayerSend(request, control); },
        [this](const PlayerSendOutcome &outcome, const JobReport &report) {
            QString text = playerSendSummary(outcome);
            if (!report.status)
                text += QLatin1Char('\n') + report.status.message();
            const bool clean = report.succeeded();
            m_services.messages->show(text, clean ? MsgIcon::Information : MsgIcon::Exclamation);
            if (const QString failed = playerSendFailures(report.failures); !failed.isEmpty())
                m_services.messages->show(failed, MsgIcon::Exclamation);
            refreshPreview();
        });
}

void FrmSendPlayer::eject()
{
    if (const std::optional<Player> player = chosenPlayer())
        startPlayerEject(m_ejectJob, *player, m_services.messages);
}

void FrmSendPlayer::closeEvent(QCloseEvent *event)
{
    if (!mayCloseWhileRunning(m_sendJob, *m_services.messages)) {
        event->ignore();
        return;
    }
    m_planJob->cancel();
    QDialog::closeEvent(event);
}

void startPlayerEject(JobRunner *runner, const Player &player, Messages *messages)
{
    if (runner->isRunning())
        return;
    runner->start<std::optional<Result<QString>>>(
        [player](JobControl &) -> std::optional<Result<QString>> {
            std::optional<UDisksClient> udisks;
            if (const PlayerSources sources = PlayerSources::fromEnvironment();
                sources.bus && sources.bus->isConnected())
                udisks.emplace(*sources.bus);
            return ejectPlayer(player, udisks);
        },
        [messages](const std::optional<Result<QString>> &ejected, const JobReport &report) {
            if (ejected && *ejected)
                messages->show(**ejected, MsgIcon::Information);
            else
                messages->show(ejected ? ejected->message() : report.status.message(),
                               MsgIcon::Exclamation);
        });
}

} // namespace quenda
