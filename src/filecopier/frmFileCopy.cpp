#include "filecopier/frmFileCopy.h"

#include "common/QdGrid.h"
#include "common/busy_cursor.h"
#include "common/window_shape.h"
#include "db/database.h"
#include "db/launcher.h"
#include "filecopier/FrmFMSaveFolder.h"
#include "filecopier/FrmFileProperty.h"
#include "filecopier/office_scan.h"
#include "filecopier/organised_copy.h"
#include "fs/drives.h"
#include "fs/shortcuts.h"
#include "jobs/job_widgets.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
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
#include <QToolBar>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kTitle = QStringLiteral("Quenda File Copier");
const QString kListFormat = QStringLiteral("Application|Path|SelectFile");
const QString kApp = QStringLiteral("App");
const QString kPath = QStringLiteral("Path");
const QString kSelect = QStringLiteral("SelectFile");
const char *const kPhotoViewer = "Quenda Photo Viewer";

constexpr OfficeTab kTabs[] = {OfficeTab::All,    OfficeTab::Word,    OfficeTab::Excel,
                               OfficeTab::Access, OfficeTab::Picture, OfficeTab::Ppt,
                               OfficeTab::Acrobat};
const char *const kTabNames[] = {"All", "Word", "Excel", "Access", "Picture", "Ppt", "Acrobat"};

// The normal look of a row that is not marked.
QColor normalBack()
{
    return QColor(233, 233, 233);
}

QString failureLines(const std::vector<ItemFailure> &failures)
{
    constexpr size_t kShown = 20;
    QStringList lines;
    for (size_t i = 0; i < failures.size() && i < kShown; ++i)
        lines << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(failures[i].path),
                                              failures[i].reason);
    if (failures.size() > kShown)
        lines << QStringLiteral("and %1 more").arg(failures.size() - kShown);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

frmFileCopy::frmFileCopy(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
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

void frmFileCopy::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    Label1 = makeTitleLabel(kTitle, this);
    layout->addWidget(Label1);

    Tabs1 = new QTabWidget(this);
    layout->addWidget(Tabs1, 1);

    // Select File
    auto *select = new QWidget(Tabs1);
    auto *selectLayout = new QVBoxLayout(select);
    SSActiveToolBars1 = new QToolBar(select);
    SSActiveToolBars1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    selectLayout->addWidget(SSActiveToolBars1);

    auto *scanRow = new QHBoxLayout;
    Label2 = new QLabel(QStringLiteral("Scanned Folder Name"), select);
    FolderViewOff = new QLineEdit(select);
    CmdBrowseOff = new QPushButton(QStringLiteral("..."), select);
    CmdBrowseOff->setFixedWidth(32);
    CmdScanOff = new QPushButton(QStringLiteral("Scan Folder"), select);
    scanRow->addWidget(Label2);
    scanRow->addWidget(FolderViewOff, 1);
    scanRow->addWidget(CmdBrowseOff);
    scanRow->addWidget(CmdScanOff);
    selectLayout->addLayout(scanRow);
    lblfname = new QLabel(select);
    lblfname->setTextInteractionFlags(Qt::TextSelectableByMouse);
    selectLayout->addWidget(lblfname);

    SSActiveTabs1 = new QTabBar(select);
    SSActiveTabs1->setExpanding(false);
    for (const char *name : kTabNames)
        SSActiveTabs1->addTab(QString::fromLatin1(name));
    selectLayout->addWidget(SSActiveTabs1);
    GrdOffice = new QdGrid(select);
    selectLayout->addWidget(GrdOffice, 1);
    dxProgressBar1 = new QProgressBar(select);
    dxProgressBar1->setVisible(false);
    selectLayout->addWidget(dxProgressBar1);

    auto *buttons = new QHBoxLayout;
    CmdSelectAll = new QPushButton(QStringLiteral("Select All"), select);
    CmdSelectAll->setToolTip(QStringLiteral("Click to select files"));
    CmdOpen = new QPushButton(QStringLiteral("Open"), select);
    CmdOpen->setToolTip(QStringLiteral("Click to open file"));
    CmdSave = new QPushButton(QStringLiteral("Save"), select);
    SSCommand2 = new QPushButton(QStringLiteral("Sort"), select);
    Simple = new QPushButton(QStringLiteral("Go to Details"), select);
    Details = new QPushButton(QStringLiteral("Go to Simple"), select);
    Details->setVisible(false);
    cmdNext = new QPushButton(QStringLiteral("Next"), select);
    CmdClose = new QPushButton(QStringLiteral("Close"), select);
    for (QPushButton *b : {CmdSelectAll, CmdOpen, CmdSave, SSCommand2, Simple, Details})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(cmdNext);
    buttons->addWidget(CmdClose);
    selectLayout->addLayout(buttons);
    Tabs1->addTab(select, QStringLiteral("Select File"));

    // Copy File
    auto *copy = new QWidget(Tabs1);
    auto *copyLayout = new QVBoxLayout(copy);
    Label3 = new QLabel(
        QStringLiteral("This will copy file inside all selected folder to following destination "
                       "path"),
        copy);
    Label3->setWordWrap(true);
    copyLayout->addWidget(Label3);

    auto *destination = new QGroupBox(QStringLiteral("Destination"), copy);
    destination->setObjectName(QStringLiteral("FrameDestination"));
    auto *destinationLayout = new QGridLayout(destination);
    OptDesktop = new QRadioButton(QStringLiteral("Copy to Desktop"), destination);
    OptFlashDisk = new QRadioButton(QStringLiteral("Copy to removable flash disk"), destination);
    Drive1 = new QComboBox(destination);
    OptSelectedPath =
        new QRadioButton(QStringLiteral("Copy to user selected Location"), destination);
    BrowseFolder1 = new QLineEdit(destination);
    CmdBrowse = new QPushButton(QStringLiteral("..."), destination);
    CmdBrowse->setFixedWidth(32);
    OptDesktop->setChecked(true);
    destinationLayout->addWidget(OptDesktop, 0, 0, 1, 3);
    destinationLayout->addWidget(OptFlashDisk, 1, 0);
    destinationLayout->addWidget(Drive1, 1, 1, 1, 2);
    destinationLayout->addWidget(OptSelectedPath, 2, 0);
    destinationLayout->addWidget(BrowseFolder1, 2, 1);
    destinationLayout->addWidget(CmdBrowse, 2, 2);
    destinationLayout->setColumnStretch(1, 1);
    copyLayout->addWidget(destination);

    auto *structure = new QGroupBox(QStringLiteral("Folder Structure"), copy);
    structure->setObjectName(QStringLiteral("FrameStructure"));
    auto *structureLayout = new QVBoxLayout(structure);
    Optkeeporiginal = new QRadioButton(QStringLiteral("Keep original"), structure);
    Optgeneratefolder =
        new QRadioButton(QStringLiteral("Generate folder as per file type"), structure);
    OptCopyAllFiles = new QRadioButton(QStringLiteral("Copy all files to one folder"), structure);
    OptCopyAllFiles->setChecked(true);
    for (QRadioButton *option : {Optkeeporiginal, Optgeneratefolder, OptCopyAllFiles})
        structureLayout->addWidget(option);
    copyLayout->addWidget(structure);
    copyLayout->addStretch();

    auto *copyButtons = new QHBoxLayout;
    CmdBack = new QPushButton(QStringLiteral("Back"), copy);
    CmdCopy = new QPushButton(QStringLiteral("Start"), copy);
    copyButtons->addStretch();
    copyButtons->addWidget(CmdBack);
    copyButtons->addWidget(CmdCopy);
    copyLayout->addLayout(copyButtons);
    Tabs1->addTab(copy, QStringLiteral("Copy File"));

    for (const DriveInfo &drive : listDrives())
        if (drive.type == DriveType::Removable)
            Drive1->addItem(QDir::toNativeSeparators(drive.rootPath), drive.rootPath);
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
}

void frmFileCopy::buildMenus()
{
    auto tool = [this](const char *id, const QString &caption) {
        auto *action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(id));
        return action;
    };
    OpenFile = tool("OpenFile", QStringLiteral("Open File"));
    ScanDoc = tool("ScanDoc", QStringLiteral("Read File"));
    Properties = tool("Properties", QStringLiteral("Properties"));
    CreateShortcutonDesktop =
        tool("CreateShortcutonDesktop", QStringLiteral("Create Shortcut on Desktop"));
    DeleteOff = tool("DeleteOff", QStringLiteral("Delete"));
    DeleteAllOff = tool("DeleteAllOff", QStringLiteral("Delete All"));
    SortbyName = tool("SortbyName", QStringLiteral("Sort by Name"));
    SortbyType = tool("SortbyType", QStringLiteral("Sort by Type"));
    SortbySize = tool("SortbySize", QStringLiteral("Sort by Size"));
    ID_Open = tool("ID_Open", QStringLiteral("Open"));
    ID_Delete = tool("ID_Delete", QStringLiteral("Delete"));
    // Offered where the launcher can take a new button; adding one is the launcher's own work.
    ID_Add = tool("ID_Add", QStringLiteral("New"));

    MenuDoc = new QMenu(this);
    MenuDoc->setObjectName(QStringLiteral("MenuDoc"));
    MenuDoc->addActions({OpenFile, ScanDoc, Properties, CreateShortcutonDesktop});

    MenuSort = new QMenu(QStringLiteral("Sort"), this);
    MenuSort->setObjectName(QStringLiteral("MenuSort"));
    MenuSort->addActions({SortbyName, SortbyType, SortbySize});

    ID_menu1 = new QMenu(this);
    ID_menu1->setObjectName(QStringLiteral("ID_menu1"));
    ID_menu1->addActions({ID_Open, ID_Delete, ID_Add, Properties});
    ID_menu1->addSeparator();
    MenuButtons = ID_menu1->addMenu(QStringLiteral("Launcher Button"));
    MenuButtons->setObjectName(QStringLiteral("MenuButtons"));

    SSActiveToolBars1->addAction(DeleteOff);
    SSActiveToolBars1->addAction(DeleteAllOff);
    SSActiveToolBars1->addSeparator();
    SSActiveToolBars1->addAction(OpenFile);
    SSActiveToolBars1->addAction(ScanDoc);
    SSActiveToolBars1->addAction(Properties);
    SSActiveToolBars1->addAction(CreateShortcutonDesktop);
}

void frmFileCopy::nameControls()
{
    const std::pair<QObject *, const char *> names[] = {
        {Label1, "Label1"},
        {Tabs1, "Tabs1"},
        {SSActiveToolBars1, "SSActiveToolBars1"},
        {Label2, "Label2"},
        {lblfname, "lblfname"},
        {FolderViewOff, "FolderViewOff"},
        {CmdBrowseOff, "CmdBrowseOff"},
        {CmdScanOff, "CmdScanOff"},
        {SSActiveTabs1, "SSActiveTabs1"},
        {GrdOffice, "GrdOffice"},
        {dxProgressBar1, "dxProgressBar1"},
        {CmdSelectAll, "CmdSelectAll"},
        {CmdOpen, "CmdOpen"},
        {CmdSave, "CmdSave"},
        {SSCommand2, "SSCommand2"},
        {Simple, "Simple"},
        {Details, "Details"},
        {cmdNext, "cmdNext"},
        {CmdClose, "CmdClose"},
        {Label3, "Label3"},
        {OptDesktop, "OptDesktop"},
        {OptFlashDisk, "OptFlashDisk"},
        {Drive1, "Drive1"},
        {OptSelectedPath, "OptSelectedPath"},
        {BrowseFolder1, "BrowseFolder1"},
        {CmdBrowse, "CmdBrowse"},
        {Optkeeporiginal, "Optkeeporiginal"},
        {Optgeneratefolder, "Optgeneratefolder"},
        {OptCopyAllFiles, "OptCopyAllFiles"},
        {CmdCopy, "CmdCopy"},
        {CmdBack, "CmdBack"},
    };
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

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
    if (!report.error.isEmpty())
        complain(report.error);
    if (!report.failures.empty())
        complain(heading + QLatin1Char('\n') + failureLines(report.failures));
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
    GrdOffice->clearRows();
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
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    Result<std::vector<QStringList>> rows =
        connection.isOpen() ? officeFileRows(connection.db(), tab, order)
                            : Result<std::vector<QStringList>>(connection.status().error());
    if (!rows) {
        complain(QStringLiteral("The list of office files could not be read: ") + rows.message());
        return;
    }
    GrdOffice->setRowsData(std::move(*rows));
    applyListLayout();
}

void frmFileCopy::applyListLayout()
{
    GrdOffice->setCols(5);
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
    GrdOffice->setCheckColumn(2);
    Simple->setVisible(true);
    Details->setVisible(false);
}

void frmFileCopy::loadView(View view)
{
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    Result<std::vector<QStringList>> rows =
        connection.isOpen() ? officeFileRowsByApplication(connection.db())
                            : Result<std::vector<QStringList>>(connection.status().error());
    if (!rows) {
        complain(QStringLiteral("The list of office files could not be read: ") + rows.message());
        return;
    }
    GrdOffice->setRowsData(std::move(*rows));
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
    return row >= 1 ? GrdOffice->text(row, kPath) : QString();
}

void frmFileCopy::rowDoubleClicked(int row)
{
    if (row < 1 || row > GrdOffice->dataRows())
        return;
    const int select = GrdOffice->colIndex(kSelect);
    const bool selected = !GrdOffice->isChecked(row, select);
    // A file of the same name in another folder is another file: the tick goes by path. A file
    // found twice (through nested ticked folders) is one file, and its rows go together.
    const QString path = GrdOffice->text(row, kPath);
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    const Status written = connection.isOpen()
                               ? saveOfficeFileSelection(connection.db(), {{path, selected}})
                               : connection.status();
    if (!written) {
        complain(QStringLiteral("The tick of %1 could not be saved: %2")
                     .arg(QDir::toNativeSeparators(path), written.message()));
        return;
    }
    for (int r = 1; r <= GrdOffice->dataRows(); ++r)
        if (GrdOffice->text(r, kPath) == path)
            GrdOffice->setChecked(r, select, selected);
}

void frmFileCopy::rowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    if (button == Qt::RightButton) {
        if (row >= 1)
            GrdOffice->setCurrentRowNumber(row);
        MenuDoc->popup(QCursor::pos());
        return;
    }
    if (button == Qt::LeftButton && (modifiers & Qt::ControlModifier) && row >= 1) {
        if (GrdOffice->isRowMarked(row))
            GrdOffice->setRowColors(row, normalBack(), palette().color(QPalette::WindowText));
        else
            GrdOffice->setRowMarked(row, true);
        GrdOffice->setChecked(row, GrdOffice->colIndex(kSelect), false);
    }
}

void frmFileCopy::tickAll(bool withLook)
{
    const int select = GrdOffice->colIndex(kSelect);
    for (int row = 1; row <= GrdOffice->dataRows(); ++row)
        GrdOffice->setChecked(row, select, true);
    if (withLook)
        GrdOffice->setAllRowsMarked(true);
}

void frmFileCopy::clearAll()
{
    const int select = GrdOffice->colIndex(kSelect);
    const QColor text = palette().color(QPalette::WindowText);
    for (int row = 1; row <= GrdOffice->dataRows(); ++row) {
        GrdOffice->setRowColors(row, normalBack(), text);
        GrdOffice->setChecked(row, select, false);
    }
}

void frmFileCopy::CmdSave_Click()
{
    const int select = GrdOffice->colIndex(kSelect);
    std::vector<std::pair<QString, bool>> states;
    states.reserve(static_cast<size_t>(GrdOffice->dataRows()));
    for (int row = 1; row <= GrdOffice->dataRows(); ++row)
        states.emplace_back(GrdOffice->text(row, kPath), GrdOffice->isChecked(row, select));
    BusyCursor busy;
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    const Status saved = connection.isOpen() ? saveOfficeFileSelection(connection.db(), states)
                                             : connection.status();
    if (!saved)
        complain(QStringLiteral("The ticks could not be saved: ") + saved.message());
}

// ---- Commands on the current file

void frmFileCopy::CmdOpen_Click()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return;
    const QString viewer =
        QDir(m_services.places.programDir).filePath(QString::fromLatin1(kPhotoViewer));
    const QFileInfo viewerInfo(viewer);
    if (currentTab() == OfficeTab::Picture && viewerInfo.isFile() && viewerInfo.isExecutable())
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
    const Result<QString> made = createDesktopShortcut(m_services.places.desktopDir,
                                                       GrdOffice->text(currentRow(), kApp), path);
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
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    const Status deleted =
        connection.isOpen() ? deleteOfficeFilesByPath(connection.db(), path) : connection.status();
    if (!deleted) {
        complain(QStringLiteral("The record could not be deleted: ") + deleted.message());
        return;
    }
    // Every row of that path left the table; the list keeps showing the table.
    for (int row = GrdOffice->dataRows(); row >= 1; --row)
        if (GrdOffice->text(row, kPath) == path)
            GrdOffice->removeRow(row);
}

void frmFileCopy::deleteAll()
{
    if (m_services.messages->show(
            QStringLiteral(" This will delete all links of office files from Quenda Program "
                           "Launch. However original files will remain as it is in their  "
                           "original location."),
            MsgIcon::Question, MsgButtons::YesNo, kTitle) != MsgAnswer::Yes)
        return;
    if (GrdOffice->dataRows() == 0)
        return;
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    const Status deleted =
        connection.isOpen() ? deleteAllOfficeFiles(connection.db()) : connection.status();
    if (!deleted) {
        complain(QStringLiteral("The records could not be deleted: ") + deleted.message());
        return;
    }
    GrdOffice->clearRows();
}

// ---- Launcher buttons

void frmFileCopy::showLauncherMenu(const QPoint &globalPos)
{
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    bool freeSlot = false;
    bool current = false;
    MenuButtons->clear();
    if (connection.isOpen()) {
        const Result<bool> free = hasFreeLauncherButton(connection.db());
        freeSlot = free && *free;
        const Result<std::vector<LauncherButton>> buttons = visibleLauncherButtons(connection.db());
        if (buttons) {
            for (const LauncherButton &button : *buttons) {
                QAction *choose = MenuButtons->addAction(button.title.isEmpty() ? button.application
                                                                                : button.title);
                choose->setObjectName(QStringLiteral("LauncherButton%1").arg(button.id));
                choose->setCheckable(true);
                choose->setChecked(button.id == m_launcherButton);
                current = current || button.id == m_launcherButton;
                const int id = button.id;
                connect(choose, &QAction::triggered, this, [this, id] { m_launcherButton = id; });
            }
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
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    if (!connection.isOpen())
        return;
    const Result<std::optional<LauncherButton>> button =
        launcherButton(connection.db(), m_launcherButton);
    if (!button || !button->has_value() || (*button)->application.isEmpty())
        return;
    if ((*button)->type == QLatin1String("A"))
        m_services.shell->startProgram((*button)->application, {});
    else
        m_services.shell->openDocument((*button)->application);
}

void frmFileCopy::freeLauncherButton()
{
    Connection connection(m_services.places.databasePath(), BusyWait::Short);
    const Status freed = connection.isOpen()
                             ? quenda::freeLauncherButton(connection.db(), m_launcherButton)
                             : connection.status();
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
    QStringList ticked;
    const int select = GrdOffice->colIndex(kSelect);
    for (int row = 1; row <= GrdOffice->dataRows(); ++row)
        if (GrdOffice->isChecked(row, select))
            ticked << GrdOffice->text(row, kPath);

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
        [request, toDesktop](JobControl &control) mutable {
            PreparedFolder prepared; // its lock is held until the copy has ended
            if (toDesktop) {
                Result<PreparedFolder> made = prepareFileCopierFolder(
                    request.destination, request.sources, LockWait::Wait, control);
                if (!made) {
                    control.abort(made.message());
                    return OrganisedCopyOutcome{};
                }
                prepared = std::move(*made);
                request.destination = prepared.path;
            }
            return copyIntoFolders(
                request,
                [](const QString &) {
                    return Result<std::optional<OfficeFileFacts>>(std::nullopt);
                },
                control);
        },
        [this](OrganisedCopyOutcome outcome, const JobReport &report) {
            showCopyResult(*m_services.messages, QStringLiteral("Copy Complete"), MsgIcon::None,
                           outcome, report, kTitle);
        });
}

} // namespace quenda
