#pragma once
// "Send to player": which player, what to send, a preview of what will be written and
// replaced, then the send as a job with progress and Cancel. Also ejects the player.

#include "common/services.h"
#include "player/player_send.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quenda {

class JobRunner;
class PlayerListModel;

class FrmSendPlayer : public QDialog {
    Q_OBJECT
public:
    // players stays owned by the caller and outlives the window; root chooses the player
    // shown first (the first one when it names none).
    FrmSendPlayer(const Services &services, PlayerListModel *players, const QString &root,
                  QWidget *parent = nullptr);

    // Plans again for the chosen player and options; the preview shows it when it arrives.
    void refreshPreview();
    void send();
    void eject();

    JobRunner *planJob() const { return m_planJob; }
    JobRunner *sendJob() const { return m_sendJob; }
    JobRunner *ejectJob() const { return m_ejectJob; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    std::optional<Player> chosenPlayer() const;
    PlayerSendRequest requestFor(const Player &player) const;
    void showPlan(const Result<PlayerSendPlan> &plan);
    void updateButtons();

    Services m_services;
    PlayerListModel *m_players;
    QComboBox *CmbPlayer = nullptr;
    QCheckBox *ChkContacts = nullptr;
    QCheckBox *ChkNotes = nullptr;
    QLabel *LblPictures = nullptr;
    QPlainTextEdit *TxtPreview = nullptr;
    QPushButton *CmdSend = nullptr;
    QPushButton *CmdEject = nullptr;
    QPushButton *CmdClose = nullptr;
    JobRunner *m_planJob = nullptr;
    JobRunner *m_sendJob = nullptr;
    JobRunner *m_ejectJob = nullptr;
    bool m_planAgain = false; // options changed while a plan was being made
    quint64 m_planGeneration = 0;
    bool m_mayStart = false; // the last plan has files and no refusal
};

// Ejects player on runner's worker (the bus calls wait for the drive) and tells the outcome
// through messages: done, busy with the programs named, or how to do it from the desktop.
void startPlayerEject(JobRunner *runner, const Player &player, Messages *messages);

} // namespace quenda
