#include "app/FrmMDI.h"

#include "app/program_info.h"
#include "app/startup_keyword.h"
#include "app/window_places.h"
#include "app/window_registry.h"
#include "fs/fresh_folder.h"
#include "jobs/job_runner.h"
#include "player/player_panel.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace quenda {

FrmMDI::FrmMDI(const Services &services, QWidget *parent)
    : QMainWindow(parent), m_services(services), m_startup(services.places.databasePath())
{
    setObjectName(QStringLiteral("FrmMDI"));
    setWindowTitle(QString::fromUtf8(kProgramTitle));
    resize(900, 560);
    buildToolbar();
    prepareProgramWindows(this, m_services.places.databasePath());

    auto *backdrop = new QLabel(this);
    backdrop->setAlignment(Qt::AlignCenter);
    backdrop->setText(QString::fromUtf8(kProgramTitle));
    backdrop->setStyleSheet(QStringLiteral(
        "QLabel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dfe8f1, "
        "stop:1 #afbdcd); color: #2f679f; font: bold 20pt 'Verdana'; }"));
    auto *central = new QWidget(this);
    auto *centralLayout = new QVBoxLayout(central);
    centralLayout->setContentsMargins(0, 0, 0, 0);
    centralLayout->setSpacing(0);
    centralLayout->addWidget(backdrop, 1);
    m_players = new PlayerPanel(m_services, central);
    connect(m_players, &PlayerPanel::sendWindowOpened, this,
            [this](QDialog *window) { Q_EMIT windowOpened(window, false); });
    centralLayout->addWidget(m_players);
    setCentralWidget(central);

    // Load: the staging folder first, then the keyword the suite left for us.
    const QString staging = m_services.places.stagingDir();
    if (!staging.isEmpty() && !makeFolderPath(staging))
        m_services.messages->show(QStringLiteral("The folder %1 cannot be created.")
                                      .arg(QDir::toNativeSeparators(staging)),
                                  MsgIcon::Exclamation);
    m_keywordJob = new JobRunner(this);
    const Result<QString> keyword = m_startup.read();
    m_keyword = keyword ? *keyword : QString();
}

void FrmMDI::buildToolbar()
{
    SSActiveToolBars1 = addToolBar(QStringLiteral("General"));
    SSActiveToolBars1->setObjectName(QStringLiteral("SSActiveToolBars1"));
    SSActiveToolBars1->setMovable(false);
    SSActiveToolBars1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SSActiveToolBars1->setFont(QFont(QStringLiteral("Verdana")));

    // Every function has a key of its own, so the toolbar's drop-downs are no obstacle to the
    // keyboard; the window holds the actions too, or keys of actions inside a closed menu would
    // never fire.
    auto makeAction = [this](const QString &id, const QString &caption, const QKeySequence &key) {
        auto *action = new QAction(caption, this);
        action->setObjectName(id);
        action->setShortcut(key);
        action->setToolTip(
            QStringLiteral("%1 (%2)").arg(caption, key.toString(QKeySequence::NativeText)));
        connect(action, &QAction::triggered, this, [this, id] { toolClick(id); });
        addAction(action);
        return action;
    };
    auto makeMenu = [this](const QString &id) {
        auto *menu = new QMenu(id, this);
        menu->setObjectName(id);
        menu->setFont(QFont(QStringLiteral("Verdana")));
        return menu;
    };
    auto dropDown = [this](const QString &id, const QString &caption, QMenu *menu) {
        auto *button = new QToolButton(this);
        button->setObjectName(id);
        button->setText(caption);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setMenu(menu);
        SSActiveToolBars1->addWidget(button);
    };

    ContactM = makeMenu(QStringLiteral("ContactM"));
    ContactM->addAction(makeAction(QStringLiteral("SendtoIpod"), QStringLiteral("Send to Ipod"),
                                   QKeySequence(Qt::CTRL | Qt::Key_1)));
    ContactM->addAction(makeAction(QStringLiteral("ExportQuendaContacttoVCF"),
                                   QStringLiteral("Export Quenda Contact to VCF"),
                                   QKeySequence(Qt::CTRL | Qt::Key_2)));
    PhotoM = makeMenu(QStringLiteral("PhotoM"));
    PhotoM->addAction(makeAction(QStringLiteral("SendToIpodPH"), QStringLiteral("Send To Ipod"),
                                 QKeySequence(Qt::CTRL | Qt::Key_4)));

    dropDown(QStringLiteral("Contact"), QStringLiteral("Contact"), ContactM);
    SSActiveToolBars1->addAction(makeAction(QStringLiteral("Notes"), QStringLiteral("Notes"),
                                            QKeySequence(Qt::CTRL | Qt::Key_3)));
    dropDown(QStringLiteral("Photo"), QStringLiteral("Photo"), PhotoM);
    SSActiveToolBars1->addAction(makeAction(QStringLiteral("FileCopier"),
                                            QStringLiteral("File Copier"),
                                            QKeySequence(Qt::CTRL | Qt::Key_5)));
    SSActiveToolBars1->addAction(makeAction(QStringLiteral("TextFile"),
                                            QStringLiteral("Convert Excel File  to Text file"),
                                            QKeySequence(Qt::CTRL | Qt::Key_6)));
    SSActiveToolBars1->addSeparator();
    SSActiveToolBars1->addAction(makeAction(QStringLiteral("Exit"), QStringLiteral("Exit"),
                                            QKeySequence(Qt::CTRL | Qt::Key_Q)));
}

bool FrmMDI::event(QEvent *e)
{
    const bool result = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate)
        activated();
    return result;
}

void FrmMDI::activated()
{
    if (m_activating)
        return;
    m_activating = true;
    if (m_splash) {
        m_splash->close();
        m_splash->deleteLater();
        m_splash = nullptr;
    }
    if (!m_keywordHandled) {
        m_keywordHandled = true;
        const Result<QString> keyword = m_startup.read();
        const bool asked = !m_startFunction.isEmpty();
        if (!keyword) {
            finishKeywordInBackground(asked);
        } else {
            if (!m_startup.clear())
                finishKeywordInBackground(true);
            if (!asked)
                openForKeyword(*keyword);
        }
        if (asked)
            openForKeyword(std::exchange(m_startFunction, QString()));
    }
    m_keyword.clear();
    // The function windows may have written to the staging folder meanwhile.
    m_players->refreshCounts();
    m_activating = false;
}

void FrmMDI::finishKeywordInBackground(bool opened)
{
    const QString database = m_services.places.databasePath();
    m_keywordJob->start<QString>(
        [database](JobControl &control) { return takeStartupKeyword(database, control); },
        [this, opened](const QString &keyword, const JobReport &) {
            // A keyword that still cannot be cleared opens its window only this once.
            if (!opened)
                openForKeyword(keyword);
        });
}

bool FrmMDI::openForKeyword(const QString &keyword)
{
    const WindowEntry *entry = windowForKeyword(keyword);
    if (!entry)
        return false;
    if (entry->busyPointer)
        setCursor(Qt::WaitCursor);
    QDialog *window = entry->create(m_services, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    Q_EMIT windowOpened(window, false);
    window->show();
    if (entry->busyPointer)
        unsetCursor();
    return true;
}

void FrmMDI::toolClick(const QString &toolId)
{
    if (toolId == QLatin1String("Exit")) {
        close();
        return;
    }
    if (const WindowEntry *entry = windowForTool(toolId))
        openModal(*entry);
}

void FrmMDI::openModal(const WindowEntry &entry)
{
    if (entry.busyPointer)
        setCursor(Qt::WaitCursor);
    QDialog *window = entry.create(m_services, this);
    Q_EMIT windowOpened(window, entry.modal);
    if (entry.modal)
        window->exec();
    else
        window->show();
    if (entry.modal)
        delete window;
    else
        window->setAttribute(Qt::WA_DeleteOnClose);
    if (entry.busyPointer)
        unsetCursor();
}

void FrmMDI::closeEvent(QCloseEvent *event)
{
    // Function windows opened by keyword stay open beside this one; each may have an action
    // running and asks before it goes.
    for (QDialog *window : findChildren<QDialog *>(Qt::FindDirectChildrenOnly)) {
        if (window->isVisible() && !window->close()) {
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

} // namespace quenda
