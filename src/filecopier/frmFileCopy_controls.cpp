#include "filecopier/frmFileCopy.h"
#include "filecopier/office_list_model.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "fs/drives.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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

const char *const kTabNames[] = {"All", "Word", "Excel", "Access", "Picture", "Ppt", "Acrobat"};

} // namespace

void frmFileCopy::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    Label1 = makeTitleLabel(windowTitle(), this);
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
    m_files = new OfficeListModel(this);
    GrdOffice->setModel(m_files);
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

} // namespace quenda
