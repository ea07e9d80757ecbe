#include "player/player_panel.h"

#include "jobs/job_runner.h"
#include "player/FrmSendPlayer.h"
#include "player/player_discovery.h"
#include "player/player_list_model.h"
#include "player/player_send.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quenda {

namespace {

QString countsText(const StagingCounts &counts, const QString &staging)
{
    const auto counted = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    return QStringLiteral("%1 holds %2 and %3 for the player.")
        .arg(QDir::toNativeSeparators(staging), counted(counts.contacts, "contact", "contacts"),
             counted(counts.notes, "note", "notes"));
}

} // namespace

PlayerPanel::PlayerPanel(const Services &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("PlayerPanel"));
    m_model = new PlayerListModel(this);
    m_discovery = new PlayerDiscovery(PlayerSources::fromEnvironment(), this);
    m_countJob = new JobRunner(this);
    m_ejectJob = new JobRunner(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 8);
    auto *title = new QLabel(QStringLiteral("<b>Players</b>"), this);
    layout->addWidget(title);
    GrdPlayers = new QTableView(this);
    GrdPlayers->setObjectName(QStringLiteral("GrdPlayers"));
    GrdPlayers->setModel(m_model);
    GrdPlayers->setSelectionBehavior(QAbstractItemView::SelectRows);
    GrdPlayers->setSelectionMode(QAbstractItemView::SingleSelection);
    GrdPlayers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GrdPlayers->verticalHeader()->hide();
    GrdPlayers->horizontalHeader()->setStretchLastSection(true);
    GrdPlayers->setMaximumHeight(110);
    layout->addWidget(GrdPlayers);

    auto *row = new QHBoxLayout;
    LblStaging = new QLabel(this);
    LblStaging->setObjectName(QStringLiteral("LblStaging"));
    CmdSendPlayer = new QPushButton(QStringLiteral("Send to player..."), this);
    CmdSendPlayer->setObjectName(QStringLiteral("CmdSendPlayer"));
    CmdEjectPlayer = new QPushButton(QStringLiteral("Eject"), this);
    CmdEjectPlayer->setObjectName(QStringLiteral("CmdEjectPlayer"));
    row->addWidget(LblStaging, 1);
    row->addWidget(CmdSendPlayer);
    row->addWidget(CmdEjectPlayer);
    layout->addLayout(row);

    connect(CmdSendPlayer, &QPushButton::clicked, this, &PlayerPanel::openSendWindow);
    connect(CmdEjectPlayer, &QPushButton::clicked, this, &PlayerPanel::ejectChosen);
    connect(GrdPlayers, &QTableView::doubleClicked, this, &PlayerPanel::openSendWindow);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &PlayerPanel::updateButtons);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &PlayerPanel::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PlayerPanel::updateButtons);
    connect(m_ejectJob, &JobRunner::finished, this, [this] {
        m_discovery->refresh();
        updateButtons();
    });
    connect(m_countJob, &JobRunner::finished, this, [this] {
        if (std::exchange(m_countAgain, false))
            refreshCounts();
    });

    m_discovery->start();
    m_model->follow(m_discovery);
    if (m_model->rowCount() > 0)
        GrdPlayers->selectRow(0);
    updateButtons();
    refreshCounts();
}

void PlayerPanel::refreshCounts()
{
    if (m_countJob->isRunning()) {
        m_countAgain = true;
        return;
    }
    const QString staging = m_services.places.stagingDir();
    m_countJob->start<std::optional<Result<StagingCounts>>>(
        [staging](JobControl &) -> std::optional<Result<StagingCounts>> {
            return countStagingForPlayer(staging);
        },
        [this, staging](const std::optional<Result<StagingCounts>> &counts, const JobReport &) {
            if (counts && *counts)
                LblStaging->setText(countsText(**counts, staging));
            else
                LblStaging->setText(counts ? counts->message() : QString());
        });
}

QString PlayerPanel::chosenRoot() const
{
    const QModelIndexList rows = GrdPlayers->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? 0 : rows.first().row();
    const Player *player = m_model->playerAt(row);
    return player ? player->root : QString();
}

void PlayerPanel::updateButtons()
{
    const bool any = m_model->rowCount() > 0;
    CmdSendPlayer->setEnabled(any);
    CmdEjectPlayer->setEnabled(any && !m_ejectJob->isRunning());
    CmdSendPlayer->setToolTip(any ? QString() : QStringLiteral("No player is plugged in."));
}

void PlayerPanel::openSendWindow()
{
    if (m_model->rowCount() == 0)
        return;
    m_discovery->refresh();
    auto *dialog = new FrmSendPlayer(m_services, m_model, chosenRoot(), window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QObject::destroyed, this, &PlayerPanel::refreshCounts);
    Q_EMIT sendWindowOpened(dialog);
    dialog->show();
}

void PlayerPanel::ejectChosen()
{
    if (const Player *player = m_model->playerAt(m_model->rowOf(chosenRoot())))
        startPlayerEject(m_ejectJob, *player, m_services.messages);
}

} // namespace quenda
