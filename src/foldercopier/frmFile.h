#pragma once

#include "common/services.h"
#include "foldercopier/folder_copy.h"
#include "foldercopier/info_panes.h"
#include "foldercopier/scheme_scan.h"
#include "foldercopier/scheme_store.h"
#include "jobs/job_runner.h"

#include <QDialog>
#include <QHash>

#include <functional>

class QAction;
class QKeyEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolBar;

namespace quenda {

class FolderListModel;
class QdGrid;
class SizeRequests;

// The folder copier: records a drive's top-level folders under named folder schemes, keeps
// the ticked folders of a scheme, copies them to one destination, and tells about drives,
// folders and files. Scans and copies run as jobs, one at a time; folder sizes are counted on
// worker threads so that ticking stays instant.
class frmFile : public QDialog {
    Q_OBJECT
public:
    explicit frmFile(const Services &services, QWidget *parent = nullptr);
    ~frmFile() override;

    // The FolderPath cells of the ticked rows of Grid1, in grid order: what a copy and the file
    // copier work on.
    QStringList tickedFolders() const;

    // The scan or copy that runs now, if any.
    JobRunner *job() const { return m_job; }
    // The size counts behind the status and behind the folder pane.
    SizeRequests *statusSizes() const { return m_statusSizes; }
    SizeRequests *paneSizes() const { return m_paneSizes; }

    void done(int result) override;
    // Esc stops a running scan or copy; without one it closes the window.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Action { None, Scan, Copy };
    static constexpr int kTickCol = 4; // Grid1's SelectFolder column

    // Built in frmFile_controls.cpp, with the keys and the drive lists.
    static bool isSelectionKey(const QKeyEvent *key);
    void buildControls();
    void nameControls();
    void connectControls();
    void applyLayout(QdGrid *grid, bool second);
    void fillDrives();

    void fillSchemeList();
    void showRows(std::vector<SchemeFolderRow> rows);
    void showScheme(SchemeRows which = SchemeRows::All);
    QString schemeName() const;

    // Selection and status
    void setRowTicked(int row, bool ticked);
    void tickAll(bool ticked);
    void toggleRow(int row);
    void updateStatus();

    // Scheme actions
    void startScan(SchemeScanMode mode);
    void scanFinished(SchemeScanOutcome outcome, const JobReport &report, SchemeScanMode mode,
                      const QString &root, const QString &scheme,
                      const QHash<QString, bool> &workingTicks);
    void saveScheme();
    void deleteAll();
    void findScheme();
    void showSecondGrid();

    // Copies
    void copyTicked();
    void copyPicked();
    void startCopy(std::function<FolderCopyOutcome(JobControl &)> copy);
    void copyFinished(const FolderCopyOutcome &outcome, const JobReport &report);
    void showCopyProgress(const JobProgress &progress);

    // Drive viewer and tools
    void showPane(const InfoPane &pane);
    void pickFolder();
    void pickFile();
    bool viewerDriveReady();
    QString currentFolderPath() const;
    void showProperties();
    void sendToLauncher();
    void createShortcut();
    void openFileCopier();
    void showError(const QString &text);
    void reportFailures(const QString &heading, const JobReport &report);

    Services m_services;
    FolderSchemeStore m_schemes;
    JobRunner *m_job = nullptr;
    SizeRequests *m_statusSizes = nullptr;
    SizeRequests *m_paneSizes = nullptr;
    Action m_action = Action::None;
    QString m_viewerRoot; // the folder whose folders lstFolders lists
    bool m_settingTicks = false;

    QLabel *LblTitle = nullptr;
    QLabel *LblSubtitle = nullptr;
    QLabel *Label7 = nullptr;
    QToolBar *Tbar = nullptr;
    QAction *Property = nullptr;
    QAction *SendtoProgramLauncher = nullptr;
    QAction *CreateShortcutonDesktop = nullptr;
    QMenu *Menu = nullptr;

    // Schemes
    QComboBox *CmbScheeme = nullptr;
    QPushButton *SSCommand1 = nullptr;
    QPushButton *CmdScan = nullptr;
    QPushButton *CmdSave = nullptr;
    QPushButton *CmdDelete = nullptr;
    QGroupBox *FrmScan = nullptr;
    QListWidget *lstDrives = nullptr;
    QPushButton *CdmScanDrives = nullptr;
    QPushButton *dxColorBtn2 = nullptr;
    QProgressBar *PG3 = nullptr;
    QTabWidget *Tabs2 = nullptr;
    QdGrid *Grid1 = nullptr;
    QdGrid *Grid2 = nullptr;
    FolderListModel *m_folders = nullptr;       // Grid1
    FolderListModel *m_schemeFolders = nullptr; // Grid2
    QLabel *LblCount = nullptr;
    QProgressBar *PGFolder = nullptr;
    QLabel *LblSize = nullptr;
    QLineEdit *TxtSize = nullptr;
    QLabel *LblSizeNote = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command5 = nullptr;
    QPushButton *CmdCpview = nullptr;
    QPushButton *CmdAdvance = nullptr;
    QPushButton *dxColorBtn1 = nullptr;

    // Copy panel
    QGroupBox *FraCopy = nullptr;
    QLabel *LblCopyHelp = nullptr;
    QRadioButton *OptDesktop = nullptr;
    QRadioButton *OptFlashDisk = nullptr;
    QRadioButton *OptSelectedPath = nullptr;
    QComboBox *Drive1 = nullptr;
    QLineEdit *BrowseFolder1 = nullptr;
    QPushButton *CmdBrowse = nullptr;
    QProgressBar *Pbar1 = nullptr;
    QLabel *LblCopyWait = nullptr; // says that the copy waits for another one into its folder
    QPushButton *Command2 = nullptr;
    QPushButton *CmdCancelCopy = nullptr;
    QPushButton *CmdClose = nullptr;

    // Drive viewer
    QGroupBox *FraViewer = nullptr;
    QListWidget *lstFolders = nullptr;
    QListWidget *lstFiles = nullptr;
    QPushButton *Command1 = nullptr;
    QLabel *lbl[12] = {};
    QLineEdit *txt[12] = {};
};

} // namespace quenda
