#include "foldercopier/folder_list_model.h"
#include "foldercopier/frmFile.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "foldercopier/folder_status.h"
#include "fs/drives.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace quenda {

namespace {

QPushButton *button(const QString &caption, QWidget *parent, const QString &tip = QString())
{
    auto *b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    if (!tip.isEmpty())
        b->setToolTip(tip);
    return b;
}

QString gridFormat(int pathBlanks, int nameBlanks, int sizeBlanks)
{
    return QStringLiteral("|FolderPath") + QString(pathBlanks, u' ') +
           QStringLiteral("|FolderName") + QString(nameBlanks, u' ') +
           QStringLiteral("|FolderSize") + QString(sizeBlanks, u' ') +
           QStringLiteral("|SelectFolder");
}

} // namespace

void frmFile::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    LblTitle = makeTitleLabel(windowTitle(), this);
    LblSubtitle = new QLabel(QStringLiteral("Quickly copy selected folders to one folder"), this);
    layout->addWidget(LblTitle);
    layout->addWidget(LblSubtitle);

    Tbar = new QToolBar(this);
    Tbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Property = Tbar->addAction(QStringLiteral("Property"));
    SendtoProgramLauncher = Tbar->addAction(QStringLiteral("Send to Program Launcher"));
    CreateShortcutonDesktop = Tbar->addAction(QStringLiteral("Create Shortcut on Desktop"));
    Menu = new QMenu(QStringLiteral("Menu"), this);
    Menu->addActions({Property, SendtoProgramLauncher, CreateShortcutonDesktop});
    layout->addWidget(Tbar);

    auto *columns = new QHBoxLayout;
    layout->addLayout(columns, 1);
    auto *left = new QVBoxLayout;
    columns->addLayout(left, 3);

    // Schemes
    auto *schemeRow = new QHBoxLayout;
    CmbScheeme = new QComboBox(this);
    CmbScheeme->setEditable(true);
    CmbScheeme->setInsertPolicy(QComboBox::NoInsert);
    CmbScheeme->setToolTip(QStringLiteral("Enter new scheme or select existing scheme"));
    CmbScheeme->setMinimumContentsLength(18);
    SSCommand1 = button(QStringLiteral("Read Drive"), this);
    CmdScan = button(QStringLiteral("Refresh"), this,
                     QStringLiteral("Read the scheme's drive again: new folders are added, "
                                    "sizes brought up to date, saved ticks kept"));
    CmdSave = button(QStringLiteral("Save scheme"), this,
                     QStringLiteral("This will save your current scheme."));
    CmdDelete = button(QStringLiteral("Delete"), this,
                       QStringLiteral("Delete the folder lists of every scheme"));
    schemeRow->addWidget(new QLabel(QStringLiteral("Scheme:"), this));
    schemeRow->addWidget(CmbScheeme, 1);
    schemeRow->addWidget(SSCommand1);
    schemeRow->addWidget(CmdScan);
    schemeRow->addWidget(CmdSave);
    schemeRow->addWidget(CmdDelete);
    left->addLayout(schemeRow);

    FrmScan = new QGroupBox(QStringLiteral("Select Drives:"), this);
    auto *scanLayout = new QHBoxLayout(FrmScan);
    lstDrives = new QListWidget(FrmScan);
    lstDrives->setMaximumHeight(110);
    auto *scanButtons = new QVBoxLayout;
    CdmScanDrives =
        button(QStringLiteral("Start"), FrmScan, QStringLiteral("Click to scan selected drive"));
    dxColorBtn2 = button(QStringLiteral("Close"), FrmScan);
    scanButtons->addWidget(CdmScanDrives);
    scanButtons->addWidget(dxColorBtn2);
    scanButtons->addStretch();
    scanLayout->addWidget(lstDrives, 1);
    scanLayout->addLayout(scanButtons);
    FrmScan->setVisible(false);
    left->addWidget(FrmScan);

    PG3 = new QProgressBar(this);
    PG3->setRange(0, 100);
    PG3->setVisible(false);
    left->addWidget(PG3);

    Tabs2 = new QTabWidget(this);
    Grid1 = new QdGrid(Tabs2);
    m_folders = new FolderListModel(this);
    Grid1->setModel(m_folders);
    Grid2 = new QdGrid(Tabs2);
    m_schemeFolders = new FolderListModel(this);
    Grid2->setModel(m_schemeFolders);
    Tabs2->addTab(Grid1, QStringLiteral("Folders"));
    Tabs2->addTab(Grid2, QStringLiteral("Select Folder"));
    left->addWidget(Tabs2, 1);

    auto *statusRow = new QHBoxLayout;
    LblCount = new QLabel(selectedFolderText(0, 0), this);
    PGFolder = new QProgressBar(this);
    PGFolder->setRange(0, 1);
    PGFolder->setValue(0);
    PGFolder->setTextVisible(false);
    PGFolder->setMaximumWidth(140);
    LblSize = new QLabel(QStringLiteral("Selected Folder Size"), this);
    TxtSize = new QLineEdit(this);
    TxtSize->setReadOnly(true);
    TxtSize->setAlignment(Qt::AlignRight);
    TxtSize->setMaximumWidth(170);
    LblSize->setBuddy(TxtSize);
    statusRow->addWidget(LblCount);
    statusRow->addWidget(PGFolder);
    statusRow->addStretch();
    statusRow->addWidget(LblSize);
    statusRow->addWidget(TxtSize);
    left->addLayout(statusRow);
    LblSizeNote = new QLabel(this);
    LblSizeNote->setWordWrap(true);
    LblSizeNote->setVisible(false);
    left->addWidget(LblSizeNote);

    auto *commandRow = new QHBoxLayout;
    Command3 = button(QStringLiteral("Find Scheme"), this,
                      QStringLiteral("Tell whether folders are recorded under the scheme name"));
    Command4 = button(QStringLiteral("All Folders"), this,
                      QStringLiteral("Show every folder of the scheme"));
    Command5 = button(QStringLiteral("Saved Ticks"), this,
                      QStringLiteral("Show only the folders saved as ticked"));
    CmdCpview = button(QStringLiteral("Copy Folders..."), this,
                       QStringLiteral("Click to copy selected folder to destination path"));
    CmdAdvance = button(QStringLiteral("Advanced Feature"), this,
                        QStringLiteral("Click to copy selected folder's files"));
    dxColorBtn1 = button(QStringLiteral("Close"), this);
    for (QPushButton *b : {Command3, Command4, Command5})
        commandRow->addWidget(b);
    commandRow->addStretch();
    for (QPushButton *b : {CmdCpview, CmdAdvance, dxColorBtn1})
        commandRow->addWidget(b);
    left->addLayout(commandRow);

    // Copy panel
    FraCopy = new QGroupBox(QStringLiteral("Destination Path"), this);
    auto *copyLayout = new QGridLayout(FraCopy);
    LblCopyHelp = new QLabel(
        QStringLiteral(
            "This will copy all the files inside your selected folder to destination path."),
        FraCopy);
    LblCopyHelp->setWordWrap(true);
    OptDesktop = new QRadioButton(QStringLiteral("Copy to Desktop"), FraCopy);
    OptFlashDisk = new QRadioButton(QStringLiteral("Copy to disk"), FraCopy);
    OptSelectedPath = new QRadioButton(QStringLiteral("Copy to user selected Location"), FraCopy);
    OptSelectedPath->setChecked(true);
    Drive1 = new QComboBox(FraCopy);
    BrowseFolder1 = new QLineEdit(FraCopy);
    CmdBrowse = button(QStringLiteral("..."), FraCopy);
    CmdBrowse->setFixedWidth(32);
    Pbar1 = new QProgressBar(FraCopy);
    Pbar1->setRange(0, 1000);
    Pbar1->setValue(0);
    Pbar1->setVisible(false);
    LblCopyWait = new QLabel(FraCopy);
    LblCopyWait->setWordWrap(true);
    LblCopyWait->setVisible(false);
    Command2 = button(QStringLiteral("Start"), FraCopy);
    CmdCancelCopy = button(QStringLiteral("Cancel"), FraCopy, QStringLiteral("Stop the copy"));
    CmdCancelCopy->setEnabled(false);
    CmdClose = button(QStringLiteral("Close"), FraCopy);
    copyLayout->addWidget(LblCopyHelp, 0, 0, 1, 3);
    copyLayout->addWidget(OptDesktop, 1, 0, 1, 3);
    copyLayout->addWidget(OptFlashDisk, 2, 0);
    copyLayout->addWidget(Drive1, 2, 1, 1, 2);
    copyLayout->addWidget(OptSelectedPath, 3, 0);
    copyLayout->addWidget(BrowseFolder1, 3, 1);
    copyLayout->addWidget(CmdBrowse, 3, 2);
    copyLayout->addWidget(Pbar1, 4, 0, 1, 3);
    copyLayout->addWidget(LblCopyWait, 5, 0, 1, 3);
    auto *copyButtons = new QHBoxLayout;
    copyButtons->addStretch();
    copyButtons->addWidget(Command2);
    copyButtons->addWidget(CmdCancelCopy);
    copyButtons->addWidget(CmdClose);
    copyLayout->addLayout(copyButtons, 6, 0, 1, 3);
    copyLayout->setColumnStretch(1, 1);
    FraCopy->setVisible(false);
    left->addWidget(FraCopy);

    // Drive viewer
    FraViewer = new QGroupBox(QStringLiteral("Drives Viewer"), this);
    auto *viewer = new QVBoxLayout(FraViewer);
    auto *lists = new QGridLayout;
    lstFolders = new QListWidget(FraViewer);
    lstFolders->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstFiles = new QListWidget(FraViewer);
    lists->addWidget(new QLabel(QStringLiteral("Folders:"), FraViewer), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Files:"), FraViewer), 0, 1);
    lists->addWidget(lstFolders, 1, 0);
    lists->addWidget(lstFiles, 1, 1);
    viewer->addLayout(lists, 1);
    auto *viewerButtons = new QHBoxLayout;
    Command1 = button(QStringLiteral("Copy"), FraViewer,
                      QStringLiteral("Copy the content of the picked folders into the folder "
                                     "chosen for \"Copy to user selected Location\""));
    viewerButtons->addStretch();
    viewerButtons->addWidget(Command1);
    viewer->addLayout(viewerButtons);
    auto *pane = new QGridLayout;
    for (int i = 0; i < 12; ++i) {
        lbl[i] = new QLabel(FraViewer);
        // The labels change with the pane shown; the column keeps room for the longest.
        lbl[i]->setMinimumWidth(
            lbl[i]->fontMetrics().horizontalAdvance(QStringLiteral("Available Space:")) + 6);
        txt[i] = new QLineEdit(FraViewer);
        txt[i]->setReadOnly(true);
        pane->addWidget(lbl[i], i, 0);
        pane->addWidget(txt[i], i, 1);
    }
    pane->setColumnStretch(1, 1);
    viewer->addLayout(pane);
    columns->addWidget(FraViewer, 2);

    Label7 = new QLabel(
        QStringLiteral(
            "User may define preset folders from which he wishes to copy files. This program "
            "will then search those folders & copy files to destination folders. User may, then "
            "copy this folder containing various subfolder of user files to his phone or PDA."),
        this);
    Label7->setWordWrap(true);
    layout->addWidget(Label7);

    applyLayout(Grid1, false);
    applyLayout(Grid2, true);
}

void frmFile::nameControls()
{
    const std::pair<QObject *, const char *> names[] = {
        {LblTitle, "LblTitle"},
        {LblSubtitle, "LblSubtitle"},
        {Label7, "Label7"},
        {Tbar, "Tbar"},
        {Property, "Property"},
        {SendtoProgramLauncher, "SendtoProgramLauncher"},
        {CreateShortcutonDesktop, "CreateShortcutonDesktop"},
        {Menu, "Menu"},
        {CmbScheeme, "CmbScheeme"},
        {SSCommand1, "SSCommand1"},
        {CmdScan, "CmdScan"},
        {CmdSave, "CmdSave"},
        {CmdDelete, "CmdDelete"},
        {FrmScan, "FrmScan"},
        {lstDrives, "lstDrives"},
        {CdmScanDrives, "CdmScanDrives"},
        {dxColorBtn2, "dxColorBtn2"},
        {PG3, "PG3"},
        {Tabs2, "Tabs2"},
        {Grid1, "Grid1"},
        {Grid2, "Grid2"},
        {LblCount, "LblCount"},
        {PGFolder, "PGFolder"},
        {LblSize, "LblSize"},
        {TxtSize, "TxtSize"},
        {LblSizeNote, "LblSizeNote"},
        {Command3, "Command3"},
        {Command4, "Command4"},
        {Command5, "Command5"},
        {CmdCpview, "CmdCpview"},
        {CmdAdvance, "CmdAdvance"},
        {dxColorBtn1, "dxColorBtn1"},
        {FraCopy, "FraCopy"},
        {LblCopyHelp, "LblCopyHelp"},
        {OptDesktop, "OptDesktop"},
        {OptFlashDisk, "OptFlashDisk"},
        {OptSelectedPath, "OptSelectedPath"},
        {Drive1, "Drive1"},
        {BrowseFolder1, "BrowseFolder1"},
        {CmdBrowse, "CmdBrowse"},
        {Pbar1, "Pbar1"},
        {LblCopyWait, "LblCopyWait"},
        {Command2, "Command2"},
        {CmdCancelCopy, "CmdCancelCopy"},
        {CmdClose, "CmdClose"},
        {FraViewer, "FraViewer"},
        {lstFolders, "lstFolders"},
        {lstFiles, "lstFiles"},
        {Command1, "Command1"},
    };
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < 12; ++i) {
        lbl[i]->setObjectName(QStringLiteral("lbl%1").arg(i));
        txt[i]->setObjectName(QStringLiteral("txt%1").arg(i));
    }
}

void frmFile::connectControls()
{
    connect(SSCommand1, &QPushButton::clicked, this, [this] { FrmScan->setVisible(true); });
    connect(dxColorBtn2, &QPushButton::clicked, this, [this] { FrmScan->setVisible(false); });
    connect(CdmScanDrives, &QPushButton::clicked, this,
            [this] { startScan(SchemeScanMode::Replace); });
    connect(CmdScan, &QPushButton::clicked, this, [this] { startScan(SchemeScanMode::Refresh); });
    connect(CmbScheeme, &QComboBox::activated, this, [this] { showScheme(); });
    connect(lstDrives, &QListWidget::itemClicked, this, [this] { CmbScheeme->setEditText({}); });
    connect(CmdSave, &QPushButton::clicked, this, [this] { saveScheme(); });
    connect(CmdDelete, &QPushButton::clicked, this, [this] { deleteAll(); });
    connect(Command3, &QPushButton::clicked, this, [this] { findScheme(); });
    connect(Command4, &QPushButton::clicked, this, [this] { showScheme(SchemeRows::All); });
    connect(Command5, &QPushButton::clicked, this, [this] { showScheme(SchemeRows::Ticked); });
    connect(Tabs2, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1)
            showSecondGrid();
    });
    connect(dxColorBtn1, &QPushButton::clicked, this, &QDialog::close);

    connect(Grid1, &QdGrid::rowPressed, this,
            [this](int row, Qt::MouseButton mouse, Qt::KeyboardModifiers modifiers) {
                // On the box itself the box turns, and its colour follows (below).
                const bool onBox = Grid1->currentIndex().column() == kTickCol;
                if (mouse == Qt::LeftButton && (modifiers & Qt::ControlModifier) && row >= 1 &&
                    !onBox) {
                    toggleRow(row);
                } else if (mouse == Qt::RightButton) {
                    if (row >= 1)
                        Grid1->setCurrentRowNumber(row);
                    Menu->popup(QCursor::pos());
                }
            });
    // A box ticked with the mouse gets the colour that goes with it.
    connect(Grid1, &QdGrid::checkToggled, this, [this](int row, int col, bool checked) {
        if (m_settingTicks || col != kTickCol)
            return;
        m_settingTicks = true;
        setRowTicked(row, checked);
        m_settingTicks = false;
        updateStatus();
    });

    connect(Property, &QAction::triggered, this, [this] { showProperties(); });
    connect(SendtoProgramLauncher, &QAction::triggered, this, [this] { sendToLauncher(); });
    connect(CreateShortcutonDesktop, &QAction::triggered, this, [this] { createShortcut(); });

    connect(CmdCpview, &QPushButton::clicked, this, [this] { FraCopy->setVisible(true); });
    connect(CmdClose, &QPushButton::clicked, this, [this] { FraCopy->setVisible(false); });
    connect(CmdBrowse, &QPushButton::clicked, this, [this] {
        const QString folder = m_services.dialogs->chooseFolder(
            QStringLiteral("Destination Path"), QDir::fromNativeSeparators(BrowseFolder1->text()));
        if (!folder.isEmpty())
            BrowseFolder1->setText(QDir::toNativeSeparators(folder));
    });
    connect(Command2, &QPushButton::clicked, this, [this] { copyTicked(); });
    connect(Command1, &QPushButton::clicked, this, [this] { copyPicked(); });
    connect(CmdCancelCopy, &QPushButton::clicked, this, [this] {
        if (m_action == Action::Copy)
            m_job->cancel();
    });
    connect(CmdAdvance, &QPushButton::clicked, this, [this] { openFileCopier(); });

    connect(lstFolders, &QListWidget::itemClicked, this, [this] { pickFolder(); });
    connect(lstFiles, &QListWidget::itemClicked, this, [this] { pickFile(); });

    connect(m_job, &JobRunner::progressChanged, this, [this](const JobProgress &p) {
        if (m_action == Action::Scan) {
            if (p.parts > 0)
                PG3->setValue(static_cast<int>(30 + 60 * p.partsDone / p.parts));
        } else if (m_action == Action::Copy) {
            // A copy to the Desktop waits while another one fills its "File Copier" folder.
            const QString waiting = copyWaitingText(fileCopierFolder(m_services.places.desktopDir));
            LblCopyWait->setText(waiting);
            LblCopyWait->setVisible(p.item == waiting);
            showCopyProgress(p);
        }
    });
}

void frmFile::applyLayout(QdGrid *grid, bool second)
{
    grid->setFormatString(second ? gridFormat(48, 19, 2) : gridFormat(53, 22, 6));
    const char *keys[] = {"",           "FolderPath",   "FolderName",
                          "FolderSize", "SelectFolder", "ScheemeName"};
    for (int col = 0; col < 6; ++col)
        grid->setColKey(col, QString::fromLatin1(keys[col]));
    grid->setColWidthTwips(0, 0);
    grid->setColHidden(5, true);
}

void frmFile::fillDrives()
{
    lstDrives->clear();
    Drive1->clear();
    int removable = -1;
    for (const DriveInfo &drive : listDrives()) {
        lstDrives->addItem(drive.rootPath);
        Drive1->addItem(drive.rootPath);
        Drive1->setItemData(Drive1->count() - 1, drive.typeName(), Qt::ToolTipRole);
        if (removable < 0 && drive.type == DriveType::Removable)
            removable = Drive1->count() - 1;
    }
    if (removable >= 0)
        Drive1->setCurrentIndex(removable);
}

bool frmFile::isSelectionKey(const QKeyEvent *key)
{
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    return (ctrl && (key->key() == Qt::Key_A || key->key() == Qt::Key_Q)) ||
           (key->key() == Qt::Key_F5 && !(key->modifiers() & Qt::ControlModifier));
}

bool frmFile::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isSelectionKey(key)) {
            if (event->type() == QEvent::KeyPress)
                tickAll(key->key() != Qt::Key_F5);
            event->accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFile::keyPressEvent(QKeyEvent *event)
{
    if (isSelectionKey(event)) {
        tickAll(event->key() != Qt::Key_F5);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quenda
