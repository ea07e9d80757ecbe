#pragma once

#include "app/startup_keyword.h"
#include "common/services.h"

#include <QMainWindow>
#include <QPointer>

class QDialog;
class QMenu;
class QToolBar;

namespace quenda {

class JobRunner;
class PlayerPanel;
struct WindowEntry;

// The main window: makes sure the staging folder exists, acts on the start-up keyword that the
// suite leaves in QD_SETUP, and opens every function window from its toolbar.
class FrmMDI : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmMDI(const Services &services, QWidget *parent = nullptr);

    // Closed by the first activation.
    void setSplash(QWidget *splash) { m_splash = splash; }
    // A function asked for on the command line: opened by the first activation in place of the
    // keyword's window (the keyword is still consumed, so it cannot open a window next time).
    void setStartFunction(const QString &keyword) { m_startFunction = keyword; }

    // The first activation of a start reads the keyword, clears it in the database and opens its
    // window; later ones leave it alone. The user-interface thread never waits on a locked
    // database: what the lock holds up is done by a job that waits, and its window opens then.
    void activated();
    // A toolbar click; tool IDs compare case-sensitively.
    void toolClick(const QString &toolId);
    // Opens the window a keyword names, without waiting; false when the keyword names none.
    bool openForKeyword(const QString &keyword);

    QString keyword() const { return m_keyword; }
    // The job that reads or clears a keyword held up by a lock; idle otherwise.
    JobRunner *keywordJob() const { return m_keywordJob; }
    PlayerPanel *playerPanel() const { return m_players; }

Q_SIGNALS:
    // Every function window this window opens, modal or not, right before it is shown.
    void windowOpened(QDialog *window, bool modal);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void openModal(const WindowEntry &entry);
    void buildToolbar();

    Services m_services;
    StartupKeywordStore m_startup;
    QToolBar *SSActiveToolBars1 = nullptr;
    QMenu *ContactM = nullptr;
    QMenu *PhotoM = nullptr;
    QPointer<QWidget> m_splash;
    void finishKeywordInBackground(bool opened);

    QString m_keyword;
    QString m_startFunction;
    bool m_activating = false;
    bool m_keywordHandled = false;
    JobRunner *m_keywordJob = nullptr;
    PlayerPanel *m_players = nullptr;
};

} // namespace quenda
