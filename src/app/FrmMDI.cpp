#include "app/FrmMDI.h"

#include "app/window_factory.h"
#include "db/database.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace quenda {

namespace {

struct KeywordEntry {
    const char *keyword;
    const char *window;
};

// First match wins; the keyword has been lower-cased and is compared exactly.
const KeywordEntry kKeywords[] = {
    {"sendtoipod", "FrmCntIpod"},
    {"sendtoipodph", "FrmPhIpod"},
    {"exportquendacontacttovcf", "FrmVCF"},
    {"notes", "FrmNotesIpod"},
    {"filecopier", "frmFile"},
    {"textfile", "FrmText"},
};

struct ToolEntry {
    const char *tool;
    const char *window;
};

const ToolEntry kTools[] = {
    {"SendtoIpod", "FrmCntIpod"},
    {"SendToIpodPH", "FrmPhIpod"},
    {"ExportQuendaContacttoVCF", "FrmVCF"},
    {"Notes", "FrmNotesIpod"},
    {"FileCopier", "frmFile"},
    {"TextFile", "FrmText"},
};

} // namespace

FrmMDI::FrmMDI(const Services &services, QWidget *parent)
    : QMainWindow(parent), m_services(services)
{
    setObjectName(QStringLiteral("FrmMDI"));
    setWindowTitle(QStringLiteral("Quenda - Ipod & Phone File Copier"));
    resize(900, 560);
    buildToolbar();

    auto *backdrop = new QLabel(this);
    backdrop->setAlignment(Qt::AlignCenter);
    backdrop->setText(QStringLiteral("Quenda - Ipod & Phone File Copier"));
    backdrop->setStyleSheet(QStringLiteral(
        "QLabel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dfe8f1, "
        "stop:1 #afbdcd); color: #2f679f; font: bold 20pt 'Verdana'; }"));
    setCentralWidget(backdrop);

    // Load: the staging folder first, then the keyword the suite left for us.
    const QString staging = m_services.places.stagingDir();
    if (!staging.isEmpty() && !QDir(staging).exists())
        QDir().mkpath(staging);
    Connection connection(m_services.places.databasePath());
    if (connection.isOpen())
        m_keyword = readStartupKeyword(connection.db());
}

void FrmMDI::buildToolbar()
{
    SSActiveToolBars1 = addToolBar(QStringLiteral("General"));
    SSActiveToolBars1->setObjectName(QStringLiteral("SSActiveToolBars1"));
    SSActiveToolBars1->setMovable(false);
    SSActiveToolBars1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SSActiveToolBars1->setFont(QFont(QStringLiteral("Verdana")));

    auto makeAction = [this](const QString &id, const QString &caption) {
        auto *action = new QAction(caption, this);
        action->setObjectName(id);
        connect(action, &QAction::triggered, this, [this, id] { toolClick(id); });
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
    ContactM->addAction(makeAction(QStringLiteral("SendtoIpod"), QStringLiteral("Send to Ipod")));
    ContactM->addAction(makeAction(QStringLiteral("ExportQuendaContacttoVCF"),
                                   QStringLiteral("Export Quenda Contact to VCF")));
    PhotoM = makeMenu(QStringLiteral("PhotoM"));
    PhotoM->addAction(makeAction(QStringLiteral("SendToIpodPH"), QStringLiteral("Send To Ipod")));

    dropDown(QStringLiteral("Contact"), QStringLiteral("Contact"), ContactM);
    SSActiveToolBars1->addAction(makeAction(QStringLiteral("Notes"), QStringLiteral("Notes")));
    dropDown(QStringLiteral("Photo"), QStringLiteral("Photo"), PhotoM);
    SSActiveToolBars1->addAction(
        makeAction(QStringLiteral("FileCopier"), QStringLiteral("File Copier")));
    SSActiveToolBars1->addAction(
        makeAction(QStringLiteral("TextFile"), QStringLiteral("Convert Excel File  to Text file")));
    SSActiveToolBars1->addSeparator();
    SSActiveToolBars1->addAction(makeAction(QStringLiteral("Exit"), QStringLiteral("Exit")));
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
    {
        Connection connection(m_services.places.databasePath());
        if (connection.isOpen()) {
            m_keyword = readStartupKeyword(connection.db());
            clearStartupKeyword(connection.db());
        }
    }
    const QString keyword = m_keyword;
    m_keyword.clear();
    openForKeyword(keyword);
    m_activating = false;
}

bool FrmMDI::openForKeyword(const QString &keyword)
{
    for (const KeywordEntry &entry : kKeywords) {
        if (keyword != QLatin1String(entry.keyword))
            continue;
        const QString className = QString::fromLatin1(entry.window);
        const bool busy = className == QLatin1String("frmFile");
        if (busy)
            setCursor(Qt::WaitCursor);
        QDialog *window = createWindow(className);
        if (!window)
            return false;
        window->setAttribute(Qt::WA_DeleteOnClose);
        Q_EMIT windowOpened(window, false);
        window->show();
        if (busy)
            unsetCursor();
        return true;
    }
    return false;
}

void FrmMDI::toolClick(const QString &toolId)
{
    if (toolId == QLatin1String("Exit")) {
        close();
        return;
    }
    for (const ToolEntry &entry : kTools) {
        if (toolId == QLatin1String(entry.tool)) {
            openModal(QString::fromLatin1(entry.window));
            return;
        }
    }
}

void FrmMDI::openModal(const QString &className)
{
    // The folder copier takes a while to gather its drives: the main window shows it is busy
    // until the copier closes.
    const bool busy = className == QLatin1String("frmFile");
    if (busy)
        setCursor(Qt::WaitCursor);
    QDialog *window = createWindow(className);
    if (window) {
        Q_EMIT windowOpened(window, true);
        window->exec();
        delete window;
    }
    if (busy)
        unsetCursor();
}

QDialog *FrmMDI::createWindow(const QString &className)
{
    return createFunctionWindow(className, m_services, this);
}

} // namespace quenda
