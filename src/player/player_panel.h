#pragma once
// The main window's strip for the players: those plugged in with their free space, what the
// staging folder holds for them, and the actions that send to one and eject it.

#include "common/services.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace quenda {

class JobRunner;
class PlayerDiscovery;
class PlayerListModel;

class PlayerPanel : public QWidget {
    Q_OBJECT
public:
    explicit PlayerPanel(const Services &services, QWidget *parent = nullptr);

    // Counts the staging folder again (a job); the label shows the counts when they arrive.
    void refreshCounts();
    // Opens "Send to player" for the player chosen in the list (the first when none is).
    void openSendWindow();
    void ejectChosen();

    PlayerListModel *players() const { return m_model; }
    JobRunner *countJob() const { return m_countJob; }

Q_SIGNALS:
    // The send window, right before it is shown.
    void sendWindowOpened(QDialog *window);

private:
    QString chosenRoot() const;
    void updateButtons();

    Services m_services;
    PlayerDiscovery *m_discovery = nullptr;
    PlayerListModel *m_model = nullptr;
    QTableView *GrdPlayers = nullptr;
    QLabel *LblStaging = nullptr;
    QPushButton *CmdSendPlayer = nullptr;
    QPushButton *CmdEjectPlayer = nullptr;
    JobRunner *m_countJob = nullptr;
    JobRunner *m_ejectJob = nullptr;
    bool m_countAgain = false;
};

} // namespace quenda
