#pragma once

#include "common/services.h"
#include "filecopier/office_file_store.h"
#include "jobs/job_runner.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTabWidget;
class QToolBar;

namespace quenda {

class OfficeListModel;
class QdGrid;

// The file copier: lists the documents, pictures and databases of the folders ticked in the
// folder copier by type, lets the user tick files, and copies the ticked ones flat, by their
// original folder, or into folders built by a scheme. The list is rebuilt from a new scan each
// time the window is shown and after its own dialogs close; scans and copies run as jobs.
class frmFileCopy : public QDialog {
    Q_OBJECT
public:
    explicit frmFileCopy(const Services &services, QWidget *parent = nullptr);
    ~frmFileCopy() override;

    // The folders the office file scan searches: the folder copier's ticked rows in their grid
    // order, asked for again at every activation so that the list always matches its ticks.
    using TickedFolders = std::function<QStringList()>;
    void setTickedFolders(TickedFolders source) { m_tickedFolders = std::move(source); }

    // The scan or copy that runs now, if any.
    JobRunner *job() const { return m_job; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class View { List, Details, Simple };

    // Built in frmFileCopy_controls.cpp.
    void buildControls();
    void buildMenus();
    void nameControls();
    void connectControls();

    // The scan (rebuild from the ticked folders, or add one folder).
    void activate();
    void CmdScanOff_Click();
    void startScan(const QStringList &folders, bool rebuild);
    void scanFinished(const JobReport &report);

    // The list.
    void loadList(OfficeTab tab, OfficeOrder order = OfficeOrder::Recorded);
    void loadView(View view);
    void applyListLayout();
    OfficeTab currentTab() const;
    int currentRow() const;
    QString currentPath() const;
    void rowDoubleClicked(int row);
    void rowPressed(int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void tickAll(bool withLook);
    void clearAll();
    void CmdSave_Click();

    // Commands on the current file.
    void CmdOpen_Click();
    void showProperties();
    void createShortcut();
    void deleteCurrent();
    void deleteAll();

    // The launcher-button menu of the step tabs.
    void showLauncherMenu(const QPoint &globalPos);
    void openLauncherButton();
    void freeLauncherButton();

    // The copy.
    void cmdNext_Click();
    void CmdCopy_Click();
    QString destinationBase();

    void complain(const QString &text);
    void reportNotDone(const QString &heading, const JobReport &report);

    Services m_services;
    OfficeFileStore m_store;
    TickedFolders m_tickedFolders;
    JobRunner *m_job = nullptr;
    bool m_shownOnce = false;
    bool m_scanning = false;
    int m_launcherButton = 0; // the current launcher button; 0 until one is chosen

    QLabel *Label1 = nullptr;
    QTabWidget *Tabs1 = nullptr;
    // Select File
    QToolBar *SSActiveToolBars1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lblfname = nullptr;
    QLineEdit *FolderViewOff = nullptr;
    QPushButton *CmdBrowseOff = nullptr;
    QPushButton *CmdScanOff = nullptr;
    QTabBar *SSActiveTabs1 = nullptr;
    QdGrid *GrdOffice = nullptr;
    OfficeListModel *m_files = nullptr;
    QProgressBar *dxProgressBar1 = nullptr;
    QPushButton *CmdSelectAll = nullptr;
    QPushButton *CmdOpen = nullptr;
    QPushButton *CmdSave = nullptr;
    QPushButton *SSCommand2 = nullptr;
    QPushButton *Simple = nullptr;
    QPushButton *Details = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *CmdClose = nullptr;
    // Copy File
    QLabel *Label3 = nullptr;
    QRadioButton *OptDesktop = nullptr;
    QRadioButton *OptFlashDisk = nullptr;
    QComboBox *Drive1 = nullptr;
    QRadioButton *OptSelectedPath = nullptr;
    QLineEdit *BrowseFolder1 = nullptr;
    QPushButton *CmdBrowse = nullptr;
    QRadioButton *Optkeeporiginal = nullptr;
    QRadioButton *Optgeneratefolder = nullptr;
    QRadioButton *OptCopyAllFiles = nullptr;
    QPushButton *CmdCopy = nullptr;
    QPushButton *CmdBack = nullptr;
    // Menus and tools
    QMenu *MenuDoc = nullptr;
    QMenu *MenuSort = nullptr;
    QMenu *ID_menu1 = nullptr;
    QMenu *MenuButtons = nullptr;
    QAction *OpenFile = nullptr;
    QAction *ScanDoc = nullptr;
    QAction *Properties = nullptr;
    QAction *CreateShortcutonDesktop = nullptr;
    QAction *DeleteOff = nullptr;
    QAction *DeleteAllOff = nullptr;
    QAction *SortbyName = nullptr;
    QAction *SortbyType = nullptr;
    QAction *SortbySize = nullptr;
    QAction *ID_Open = nullptr;
    QAction *ID_Delete = nullptr;
    QAction *ID_Add = nullptr;
};

} // namespace quenda
