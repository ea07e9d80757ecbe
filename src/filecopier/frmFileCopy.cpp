#include "filecopier/frmFileCopy.h"
#include "filecopier/office_list_model.h"

#include "common/QdGrid.h"
#include "common/busy_cursor.h"
#include "common/window_shape.h"
#include "filecopier/FrmFMSaveFolder.h"
#include "filecopier/FrmFileProperty.h"
#include "filecopier/file_details.h"
#include "filecopier/office_scan.h"
#include "filecopier/organised_copy.h"
#include "fs/drives.h"
#include "fs/shortcuts.h"
#include "jobs/failure_text.h"
#include "jobs/job_widgets.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kTitle = QStringLiteral("Quenda File Copier");
const QString kListFormat = QStringLiteral("Application|Path|SelectFile");
const QString kApp = QStringLiteral("App");
const QString kPath = QStringLiteral("Path");
const QString kSelect = QStringLiteral("SelectFile");

constexpr OfficeTab kTabs[] = {OfficeTab::All,    OfficeTab::Word,    OfficeTab::Excel,
                               OfficeTab::Access, OfficeTab::Picture, OfficeTab::Ppt,
                               OfficeTab::Acrobat};

} // namespace

frmFileCopy::frmFileCopy(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_store(services.places.databasePath())
{
    setObjectName(QStringLiteral("frmFileCopy"));
    setWindowTitle(kTitle);
    resize(780, 580);
    buildControls();
    buildMenus();
    nameControls();
    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this,
                        {CmdScanOff, ScanDoc, CmdCopy, CmdSave, DeleteOff, DeleteAllOff,
                         SSActiveTabs1, Simple, Details, SortbyName, SortbyType, SortbySize});
    bindProgressBar(m_job, dxProgressBar1);
    // The folder being searched; a copy shows its files in the progress dialog instead.
    connect(m_job, &JobRunner::progressChanged, this, [this](const JobProgress &p) {
        if (m_scanning && !p.item.isEmpty())
            lblfname->setText(QDir::toNativeSeparators(p.item));
    });
    connectControls();

    Tabs1->setTabEnabled(1, false);
    loadList(OfficeTab::All);
}

frmFileCopy::~frmFileCopy() = default;

void frmFileCopy::connectControls()
{
    connect(CmdBrowseOff, &QPushButton::clicked, this, [this] {
        const QString folder = m_services.dialogs->chooseFolder(
            QStringLiteral("Scanned Folder Name"), FolderViewOff->text());
        if (!folder.isEmpty())
            FolderViewOff->setText(QDir::toNativeSeparators(folder));
    });
    connect(CmdScanOff, &QPushButton::clicked, this, [this] { CmdScanOff_Click(); });
    connect(ScanDoc, &QAction::triggered, this, [this] { CmdScanOff_Click(); });
    connect(SSActiveTabs1, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && !m_job->isRunning())
            loadList(kTabs[index]);
    });
    connect(GrdOffice, &QdGrid::rowDoubleClicked, this, [this](int row) { rowDoubleClicked(row); });
    connect(GrdOffice, &QdGrid::rowPressed, this,
            [this](int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
                rowPressed(row, button, modifiers);
            });
    connect(CmdSelectAll, &QPushButton::clicked, this, [this] { tickAll(false); });
    connect(CmdSave, &QPushButton::clicked, this, [this] { CmdSave_Click(); });
    connect(CmdOpen, &QPushButton::clicked, this, [this] { CmdOpen_Click(); });
    connect(OpenFile, &QAction::triggered, this, [this] { CmdOpen_Click(); });
    connect(Properties, &QAction::triggered, this, [this] { showProperties(); });
    connect(CreateShortcutonDesktop, &QAction::triggered, this, [this] { createShortcut(); });
    connect(DeleteOff, &QAction::triggered, this, [this] { deleteCurrent(); });
    connect(DeleteAllOff, &QAction::triggered, this, [this] { deleteAll(); });
    connect(SortbyName, &QAction::triggered, this,
            [this] { loadList(currentTab(), OfficeOrder::ByName); });
    connect(SortbyType, &QAction::triggered, this,
            [this] { loadList(currentTab(), OfficeOrder::ByType); });
    connect(SortbySize, &QAction::triggered, this,
            [this] { loadList(currentTab(), OfficeOrder::BySize); });
    connect(Simple, &QPushButton::clicked, this, [this] { loadView(View::Details); });
    connect(Details, &QPushButton::clicked, this, [this] { loadView(View::Simple); });
    connect(CmdClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { cmdNext_Click(); });
    connect(CmdBack, &QPushButton::clicked, this, [this] { Tabs1->setCurrentIndex(0); });
    connect(Tabs1, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0)
            Tabs1->setTabEnabled(1, false);
    });
    connect(CmdCopy, &QPushButton::clicked, this, [this] { CmdCopy_Click(); });
    connect(CmdBrowse, &QPushButton::clicked, this, [this] {
        const QString folder = m_services.dialogs->chooseFolder(
            QStringLiteral("Copy to user selected Location"), BrowseFolder1->text());
        if (!folder.isEmpty()) {
            BrowseFolder1->setText(QDir::toNativeSeparators(folder));
            OptSelectedPath->setChecked(true);
        }
    });
    connect(ID_Open, &QAction::triggered, this, [this] { openLauncherButton(); });
    connect(ID_Delete, &QAction::triggered, this, [this] { freeLauncherButton(); });

    Tabs1->tabBar()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Tabs1->tabBar(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showLauncherMenu(Tabs1->tabBar()->mapToGlobal(pos)); });
    SSCommand2->installEventFilter(this);
    connect(SSCommand2, &QPushButton::clicked, this,
            [this] { MenuSort->popup(SSCommand2->mapToGlobal(QPoint(0, SSCommand2->height()))); });

    // The grid would take Ctrl+A for its own selection; these keys belong to the window.
    auto key = [this](const QKeySequence &sequence, auto slot) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    key(QKeySequence(Qt::Key_F5), [this] { clearAll(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_A), [this] { tickAll(true); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { tickAll(true); });
}

bool frmFileCopy::eventFilter(QObject *watched, QEvent *event)
{
    // The sort menu opens as soon as the pointer rests on its button.
    if (watched == SSCommand2 && event->type() == QEvent::Enter && SSCommand2->isEnabled() &&
        !MenuSort->isVisible())
        MenuSort->popup(SSCommand2->mapToGlobal(QPoint(0, SSCommand2->height())));
    return QDialog::eventFilter(watched, event);
}

void frmFileCopy::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        activate();
    }
}

void frmFileCopy::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

void frmFileCopy::complain(const QString &text)
{
    m_services.messages->show(text, MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
}

void frmFileCopy::reportNotDone(const QString &heading, const JobReport &report)
{
    if (!report.status)
        complain(report.status.message());
    if (!report.failures.empty())
        complain(heading + QLatin1Char('\n') + failureListText(report.failures));
}

// ---- Scan

void frmFileCopy::activate()
{
    if (m_job->isRunning())
        return;
    const QStringList folders = m_tickedFolders ? m_tickedFolders() : QStringList();
    if (!folders.isEmpty()) {
        FolderViewOff->setText(QDir::toNativeSeparators(folders.last()));
        lblfname->setText(QDir::toNativeSeparators(folders.first()));
    }
    m_files->setRows({});
    startScan(folders, true);
}

void frmFileCopy::CmdScanOff_Click()
{
    if (m_job->isRunning())
        return;
    const QString folder = FolderViewOff->text().trimmed();
    if (folder.isEmpty())
        return;
    lblfname->setText(folder);
    startScan({folder}, false);
}

void frmFileCopy::startScan(const QStringList &folders, bool rebuild)
{
    const QString database = m_services.places.databasePath();
    m_job->start<OfficeScanOutcome>(
        [database, folders, rebuild](JobControl &control) {
            return runOfficeScan(database, folders, rebuild, control);
        },
        [this](OfficeScanOutcome outcome, const JobReport &report) {
            m_scanning = false;
            if (!outcome.lastFolder.isEmpty())
                lblfname->setText(QDir::toNativeSeparators(outcome.lastFolder));
            scanFinished(report);
        });
    m_scanning = true;
}

void frmFileCopy::scanFinished(const JobReport &report)
{
    SSActiveTabs1->setCurrentIndex(0);
    loadList(OfficeTab::All);
    reportNotDone(QStringLiteral("These folders or files could not be read or recorded:"), report);
}

// ---- List

OfficeTab frmFileCopy::currentTab() const
{
    const int index = SSActiveTabs1->currentIndex();
    return index >= 0 && index < int(std::size(kTabs)) ? kTabs[index] : OfficeTab::All;
}

void frmFileCopy::loadList(OfficeTab tab, OfficeOrder order)
{
    Result<std::vector<QStringList>> rows = m_store.files(tab, order);
    if (!rows) {
        complain(QStringLiteral("The list of office files could not be read: ") + rows.message());
        return;
    }
    m_files->setRows(officeListRows(*rows));
    applyListLayout();
}

void frmFileCopy::applyListLayout()
{
    QHeaderView *header = GrdOffice->horizontalHeader();
    for (int col = 0; col < 5; ++col)
        header->moveSection(header->visualIndex(col), col);
    GrdOffice->setFormatString(kListFormat);
    const QString keys[] = {kApp, kPath, kSelect, QStringLiteral("Type"),
                            QStringLiteral("FileSize")};
    for (int col = 0; col < 5; ++col)
        GrdOffice->setColKey(col, keys[col]);
    GrdOffice->setColWidthTwips(0, 6000);
    GrdOffice->setColWidthTwips(1, 0);
    GrdOffice->setColWidthTwips(2, 20);
    // A tick box needs room to be clicked, whatever width the layout names.
    GrdOffice->setColumnWidth(2, std::max(GrdOffice->columnWidth(2),
                                          header->fontMetrics().horizontalAdvance(kSelect) + 16));
    GrdOffice->setColHidden(3, true);
    GrdOffice->setColHidden(4, true);
    Simple->setVisible(true);
    Details->setVisible(false);
}

void frmFileCopy::loadView(View view)
{
    Result<std::vector<QStringList>> rows = m_store.filesByApplication();
    if (!rows) {
        complain(QStringLiteral("The list of office files could not be read: ") + rows.message());
        return;
    }
    m_files->setRows(officeListRows(*rows));
    // The table's own column names head the columns; the tick column stays last.
    const bool details = view == View::Details;
    GrdOffice->setColHeader(0, QStringLiteral("Application"));
    GrdOffice->setColHeader(1, QStringLiteral("Path"));
    GrdOffice->setColHeader(2, QStringLiteral("SelectFile"));
    GrdOffice->setColHeader(3, QStringLiteral("Type"));
    GrdOffice->setColHeader(4, QStringLiteral("FileSize"));
    GrdOffice->setColHidden(1, false);
    GrdOffice->setColumnWidth(1, 320);
    GrdOffice->setColHidden(3, !details);
    GrdOffice->setColHidden(4, !details);
    if (details) {
        GrdOffice->setColumnWidth(3, 60);
        GrdOffice->setColumnWidth(4, 90);
    }
    QHeaderView *header = GrdOffice->horizontalHeader();
    header->moveSection(header->visualIndex(2), 4);
    Simple->setVisible(!details);
    Details->setVisible(details);
}

int frmFileCopy::currentRow() const
{
    return GrdOffice->currentRowNumber();
}

QString frmFileCopy::currentPath() const
{
    const int row = currentRow();
    return row >= 1 && row <= m_files->rowCount() ? m_files->row(row - 1).path : QString();
}

void frmFileCopy::rowDoubleClicked(int row)
{
    if (row < 1 || row > m_files->rowCount())
        return;
    const bool selected = !m_files->row(row - 1).selected;
    // A file of the same name in another folder is another file: the tick goes by path. A file
    // found twice (through nested ticked folders) is one file, and its rows go together.
    const QString path = m_files->row(row - 1).path;
    const Status written = m_store.saveTicks({{path, selected}});
    if (!written) {
        complain(QStringLiteral("The tick of %1 could not be saved: %2")
                     .arg(QDir::toNativeSeparators(path), written.message()));
        return;
    }
    m_files->setSelected(path, selected);
}

void frmFileCopy::rowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (button == Qt::RightButton) {
        if (row >= 1)
            GrdOffice->setCurrentRowNumber(row);
        MenuDoc->popup(QCursor::pos());
        return;
    }
    if (button == Qt::LeftButton && (modifiers & Qt::ControlModifier) && row >= 1 &&
        row <= m_files->rowCount()) {
        // The mark toggles; the tick of that one row is cleared either way.
        m_files->setMark(row - 1, m_files->isMarked(row - 1) ? RowMark::None : RowMark::Marked);
        m_files->updateRow(row - 1, [](OfficeListRow &r) { r.selected = false; });
    }
}

void frmFileCopy::tickAll(bool withLook)
{
    m_files->setAllSelected(true);
    if (withLook)
        m_files->setAllMarked(true);
}

void frmFileCopy::clearAll()
{
    m_files->setAllMarked(false);
    m_files->setAllSelected(false);
}

void frmFileCopy::CmdSave_Click()
{
    const std::vector<std::pair<QString, bool>> states = m_files->selectionStates();
    BusyCursor busy;
    const Status saved = m_store.saveTicks(states);
    if (!saved)
        complain(QStringLiteral("The ticks could not be saved: ") + saved.message());
}

// ---- Commands on the current file

void frmFileCopy::CmdOpen_Click()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    const QString viewer = photoViewerIn(m_services.places.programDir);
    if (currentTab() == OfficeTab::Picture && !viewer.isEmpty())
        m_services.shell->startProgram(viewer, {path});
    else
        m_services.shell->openDocument(path);
}

void frmFileCopy::showProperties()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    {
        FrmFileProperty properties(m_services, this);
        properties.showFile(path);
        properties.exec();
    }
    activate();
}

void frmFileCopy::createShortcut()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    const Result<QString> made = createDesktopShortcut(
        m_services.places.desktopDir, m_files->row(currentRow() - 1).application, path);
    if (made)
        m_services.messages->show(QStringLiteral("Shortcut create successfully"));
    else
        complain(QStringLiteral("The shortcut could not be created: ") + made.message());
}

void frmFileCopy::deleteCurrent()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    if (m_services.messages->show(QStringLiteral(" You want to delete this Record"),
                                  MsgIcon::Question, MsgButtons::YesNo, kTitle) != MsgAnswer::Yes)
        return;
    const Status deleted = m_store.deleteFile(path);
    if (!deleted) {
        complain(QStringLiteral("The record could not be deleted: ") + deleted.message());
        return;
    }
    // Every row of that path left the table; the list keeps showing the table.
    m_files->removePath(path);
}

void frmFileCopy::deleteAll()
{
    if (m_services.messages->show(
            QStringLiteral(" This will delete all links of office files from Quenda Program "
                           "Launch. However original files will remain as it is in their  "
                           "original location."),
            MsgIcon::Question, MsgButtons::YesNo, kTitle) != MsgAnswer::Yes)
        return;
    if (m_files->rowCount() == 0)
        return;
    const Status deleted = m_store.deleteAll();
    if (!deleted) {
        complain(QStringLiteral("The records could not be deleted: ") + deleted.message());
        return;
    }
    m_files->setRows({});
}

// ---- Launcher buttons

void frmFileCopy::showLauncherMenu(const QPoint &globalPos)
{
    MenuButtons->clear();
    const Result<bool> free = m_store.hasFreeLauncherButton();
    const bool freeSlot = free && *free;
    bool current = false;
    if (const Result<std::vector<LauncherButton>> buttons = m_store.launcherButtons(); buttons) {
        for (const LauncherButton &button : *buttons) {
            QAction *choose =
                MenuButtons->addAction(button.title.isEmpty() ? button.application : button.title);
            choose->setObjectName(QStringLiteral("LauncherButton%1").arg(button.id));
            choose->setCheckable(true);
            choose->setChecked(button.id == m_launcherButton);
            current = current || button.id == m_launcherButton;
            const int id = button.id;
            connect(choose, &QAction::triggered, this, [this, id] { m_launcherButton = id; });
        }
    }
    MenuButtons->setEnabled(!MenuButtons->isEmpty());
    ID_Open->setEnabled(current);
    ID_Delete->setEnabled(current);
    ID_Add->setEnabled(freeSlot);
    ID_menu1->popup(globalPos);
}

void frmFileCopy::openLauncherButton()
{
    const Result<std::optional<LauncherButton>> button = m_store.launcherButton(m_launcherButton);
    if (!button || !button->has_value() || (*button)->application.isEmpty())
        return;
    if ((*button)->type == QLatin1String("A"))
        m_services.shell->startProgram((*button)->application, {});
    else
        m_services.shell->openDocument((*button)->application);
}

void frmFileCopy::freeLauncherButton()
{
    const Status freed = m_store.freeLauncherButton(m_launcherButton);
    if (!freed)
        complain(QStringLiteral("The launcher button could not be cleared: ") + freed.message());
}

// ---- Copy

void frmFileCopy::cmdNext_Click()
{
    Tabs1->setTabEnabled(1, true);
    Tabs1->setCurrentIndex(std::min(Tabs1->currentIndex() + 1, Tabs1->count() - 1));
}

QString frmFileCopy::destinationBase()
{
    if (OptDesktop->isChecked()) {
        if (m_services.places.desktopDir.isEmpty())
            complain(QStringLiteral("The Desktop folder cannot be found."));
        return m_services.places.desktopDir;
    }
    if (OptFlashDisk->isChecked()) {
        const QString root = Drive1->currentData().toString();
        if (root.isEmpty())
            complain(QStringLiteral("Please attach a removable flash disk and choose it."));
        return root;
    }
    const QString chosen = BrowseFolder1->text().trimmed();
    if (chosen.isEmpty())
        complain(QStringLiteral("Please choose the folder to copy to."));
    return QDir::fromNativeSeparators(chosen);
}

void frmFileCopy::CmdCopy_Click()
{
    if (m_job->isRunning())
        return;
    const QString base = destinationBase();
    if (base.isEmpty())
        return;
    const QStringList ticked = m_files->selectedPaths();

    if (Optgeneratefolder->isChecked()) {
        {
            FrmFMSaveFolder dialog(m_services, base, ticked, this);
            dialog.exec();
        }
        activate();
        return;
    }

    OrganisedCopyRequest request;
    request.sources = ticked;
    request.destination = base;
    request.layout = Optkeeporiginal->isChecked() ? CopyLayout::KeepOriginal : CopyLayout::AllInOne;
    const bool toDesktop = OptDesktop->isChecked();
    m_job->start<OrganisedCopyOutcome>(
        [request, toDesktop](JobControl &control) {
            return runFileListCopy(request, toDesktop, control);
        },
        [this](OrganisedCopyOutcome outcome, const JobReport &report) {
            showCopyResult(*m_services.messages, QStringLiteral("Copy Complete"), MsgIcon::None,
                           outcome, report, kTitle);
        });
}

} // namespace quenda
