#include "foldercopier/frmFile.h"
#include "foldercopier/folder_list_model.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "filecopier/frmFileCopy.h"
#include "foldercopier/FrmProperty.h"
#include "foldercopier/folder_status.h"
#include "fs/shortcuts.h"
#include "jobs/job_widgets.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace quenda {

namespace {

const QString kTitle = QStringLiteral("Quenda Folder Copier");

// The viewer's lists show names and keep the path each stands for.
void addViewerItem(QListWidget *list, const ListedEntry &entry)
{
    auto *item = new QListWidgetItem(entry.name, list);
    item->setData(Qt::UserRole, entry.path);
}

} // namespace

frmFile::frmFile(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_schemes(services.places.databasePath())
{
    setObjectName(QStringLiteral("frmFile"));
    setWindowTitle(kTitle);
    m_job = new JobRunner(this);
    m_statusSizes = new SizeRequests(this);
    m_paneSizes = new SizeRequests(this);
    buildControls();
    nameControls();
    connectControls();
    // Ctrl+A, Ctrl+Q and F5 act wherever the focus is, before any control takes the key.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
    disableWhileRunning(
        m_job, this, {CdmScanDrives, CmdScan, CmdSave, CmdDelete, Command2, Command1, CmdAdvance});
    resize(1120, 760);

    fillSchemeList();
    if (CmbScheeme->count() > 0)
        CmbScheeme->setCurrentIndex(0);
    showScheme();
    fillDrives();
    BrowseFolder1->setText(
        QDir::toNativeSeparators(m_services.places.homeDir + QStringLiteral("/TestCopy")));
}

frmFile::~frmFile() = default;

QString frmFile::schemeName() const
{
    return CmbScheeme->currentText().trimmed();
}

void frmFile::fillSchemeList()
{
    const QString typed = CmbScheeme->currentText();
    CmbScheeme->clear();
    const Result<QStringList> names = m_schemes.names();
    if (!names) {
        showError(QStringLiteral("The folder schemes could not be read: ") + names.message());
        return;
    }
    CmbScheeme->addItems(*names);
    CmbScheeme->setEditText(typed);
}

void frmFile::showRows(std::vector<SchemeFolderRow> rows)
{
    m_folders->setRows(std::move(rows));
    applyLayout(Grid1, false);
    updateStatus();
}

void frmFile::showScheme(SchemeRows which)
{
    const QString scheme = schemeName();
    Result<std::vector<SchemeFolderRow>> rows = m_schemes.rows(scheme, which);
    if (!rows) {
        showError(QStringLiteral("The folders of the scheme %1 could not be read: %2")
                      .arg(scheme, rows.message()));
        showRows({});
        return;
    }
    showRows(std::move(*rows));
    PG3->setValue(100);
}

QStringList frmFile::tickedFolders() const
{
    return m_folders->tickedPaths();
}

// --- Selection and status

void frmFile::setRowTicked(int row, bool ticked)
{
    if (row < 1 || row > m_folders->rowCount())
        return;
    const bool wasSetting = m_settingTicks;
    m_settingTicks = true;
    m_folders->setTicked(row - 1, ticked);
    m_settingTicks = wasSetting;
}

void frmFile::tickAll(bool ticked)
{
    m_settingTicks = true;
    m_folders->setAllTicked(ticked);
    m_settingTicks = false;
    updateStatus();
}

void frmFile::toggleRow(int row)
{
    if (row < 1 || row > m_folders->rowCount())
        return;
    setRowTicked(row, !m_folders->row(row - 1).ticked);
    updateStatus();
}

void frmFile::updateStatus()
{
    const QStringList ticked = tickedFolders();
    const int rows = m_folders->rowCount();
    PGFolder->setRange(0, std::max(1, rows));
    PGFolder->setValue(static_cast<int>(ticked.size()));
    LblCount->setText(selectedFolderText(static_cast<int>(ticked.size()), rows));
    Grid1->viewport()->update();

    LblSizeNote->setVisible(false);
    if (ticked.isEmpty()) {
        m_statusSizes->cancel();
        TxtSize->setText(QStringLiteral("0"));
        return;
    }
    TxtSize->clear();
    TxtSize->setPlaceholderText(QStringLiteral("Counting..."));
    m_statusSizes->request(ticked, [this](const SizeTotal &total) {
        TxtSize->setText(QString::number(total.bytes));
        if (!total.incomplete.isEmpty()) {
            LblSizeNote->setText(
                QStringLiteral("The size is incomplete: %1 could not be read in full.")
                    .arg(total.incomplete.size() == 1
                             ? QDir::toNativeSeparators(total.incomplete.front())
                             : QStringLiteral("%1 folders").arg(total.incomplete.size())));
            LblSizeNote->setVisible(true);
        }
    });
}

// --- Scheme actions

void frmFile::startScan(SchemeScanMode mode)
{
    if (m_job->isRunning())
        return;
    const QString scheme = schemeName();
    if (scheme.isEmpty()) {
        m_services.messages->show(QStringLiteral("Please Fill Scheme Name"));
        return;
    }
    QString root;
    QHash<QString, bool> workingTicks;
    if (mode == SchemeScanMode::Refresh) {
        // Refresh reads the drive the scheme was recorded from.
        root = m_schemes.recordedRoot(scheme);
        workingTicks = m_folders->ticksOfScheme(scheme);
    }
    if (root.isEmpty() && lstDrives->currentItem())
        root = lstDrives->currentItem()->text();
    if (root.isEmpty()) {
        m_services.messages->show(QStringLiteral("Select a drive to scan."), MsgIcon::None,
                                  MsgButtons::Ok, kTitle);
        return;
    }

    m_action = Action::Scan;
    PG3->setValue(mode == SchemeScanMode::Refresh ? 40 : 10);
    PG3->setVisible(true);
    const QString database = m_services.places.databasePath();
    m_job->start<SchemeScanOutcome>(
        [database, root, scheme, mode](JobControl &control) {
            return runSchemeScan(database, root, scheme, mode, control);
        },
        [this, mode, root, scheme, workingTicks](SchemeScanOutcome outcome,
                                                 const JobReport &report) {
            scanFinished(std::move(outcome), report, mode, root, scheme, workingTicks);
        });
}

void frmFile::scanFinished(SchemeScanOutcome outcome, const JobReport &report, SchemeScanMode mode,
                           const QString &root, const QString &scheme,
                           const QHash<QString, bool> &workingTicks)
{
    m_action = Action::None;
    PG3->setValue(100);
    PG3->setVisible(false);
    if (!outcome.ready) {
        m_services.messages->show(outcome.ready.message(), MsgIcon::Critical);
        return;
    }
    if (mode == SchemeScanMode::Replace) {
        lstFolders->clear();
        for (const ListedEntry &folder : outcome.folders)
            addViewerItem(lstFolders, folder);
        lstFiles->clear();
        m_viewerRoot = root;
        showPane(drivePane(outcome.drive));
    }
    fillSchemeList();
    CmbScheeme->setEditText(scheme);
    showScheme();
    if (!workingTicks.isEmpty()) {
        // Ticks not yet saved survive the refresh for the folders that are still there.
        m_settingTicks = true;
        m_folders->restoreTicks(workingTicks);
        m_settingTicks = false;
        updateStatus();
    }
    if (!report.status)
        showError(report.status.message());
    reportFailures(QStringLiteral("These folders could not be read in full; their sizes count "
                                  "only what could be read:"),
                   report);
}

void frmFile::saveScheme()
{
    const QString scheme = schemeName();
    if (m_services.messages->show(QStringLiteral(" This scheme will save as ") + scheme,
                                  MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    const std::vector<std::pair<QString, bool>> ticks = m_folders->ticks();
    const Result<int> saved = m_schemes.saveTicks(scheme, ticks);
    if (!saved)
        showError(
            QStringLiteral("The scheme %1 could not be saved: %2").arg(scheme, saved.message()));
}

void frmFile::deleteAll()
{
    if (m_services.messages->show(
            QStringLiteral(" This will delete all links. However original files will remain as "
                           "it is in there  original location."),
            MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    if (m_folders->rowCount() == 0)
        return;
    const Status deleted = m_schemes.deleteAll();
    if (!deleted) {
        showError(QStringLiteral("The folder schemes could not be deleted: ") + deleted.message());
        return;
    }
    showRows({});
    // The list would otherwise still offer the schemes that are gone.
    fillSchemeList();
}

void frmFile::findScheme()
{
    const Result<std::vector<SchemeFolderRow>> rows = m_schemes.rows(schemeName());
    if (!rows) {
        showError(rows.message());
        return;
    }
    if (rows->empty())
        m_services.messages->show(QStringLiteral("Not found"));
    else
        m_services.messages->show(QStringLiteral("Found ") + rows->front().scheme);
}

void frmFile::showSecondGrid()
{
    if (m_folders->rowCount() == 0)
        return;
    Result<std::vector<SchemeFolderRow>> rows = m_schemes.rows(schemeName());
    if (!rows) {
        showError(rows.message());
        return;
    }
    m_schemeFolders->setRows(std::move(*rows));
    applyLayout(Grid2, true);
}

// --- Copies

void frmFile::copyTicked()
{
    FolderCopyRequest request;
    if (OptDesktop->isChecked()) {
        request.where = CopyDestination::Desktop;
        request.desktop = m_services.places.desktopDir;
    } else if (OptFlashDisk->isChecked()) {
        request.where = CopyDestination::Disk;
        request.diskRoot = Drive1->currentText();
    } else {
        request.where = CopyDestination::ChosenFolder;
        request.chosenFolder = QDir::fromNativeSeparators(BrowseFolder1->text().trimmed());
    }
    request.folders = tickedFolders();
    startCopy([request](JobControl &control) { return runFolderCopy(request, control); });
}

void frmFile::copyPicked()
{
    PickedCopyRequest request;
    request.root = m_viewerRoot;
    for (int i = 0; i < lstFolders->count(); ++i)
        if (lstFolders->item(i)->isSelected())
            request.names << lstFolders->item(i)->text();
    request.destination = QDir::fromNativeSeparators(BrowseFolder1->text().trimmed());
    startCopy([request](JobControl &control) { return runPickedCopy(request, control); });
}

void frmFile::startCopy(std::function<FolderCopyOutcome(JobControl &)> copy)
{
    if (m_job->isRunning())
        return;
    m_action = Action::Copy;
    Pbar1->setValue(0);
    Pbar1->setVisible(true);
    CmdCancelCopy->setEnabled(true);
    m_job->start<FolderCopyOutcome>(std::move(copy),
                                    [this](FolderCopyOutcome outcome, const JobReport &report) {
                                        copyFinished(outcome, report);
                                    });
}

void frmFile::showCopyProgress(const JobProgress &progress)
{
    // The bytes of the whole copy are known, and counted, once every folder is planned.
    if (progress.parts > 0 && progress.total > 0)
        Pbar1->setValue(
            static_cast<int>(std::min<qint64>(1000, progress.done * 1000 / progress.total)));
}

void frmFile::copyFinished(const FolderCopyOutcome &outcome, const JobReport &report)
{
    m_action = Action::None;
    CmdCancelCopy->setEnabled(false);
    LblCopyWait->setVisible(false);
    showCopyProgress(m_job->progress());
    if (!report.status) {
        showError(report.status.message());
    } else if (report.cancelled) {
        m_services.messages->show(
            QStringLiteral("Copy cancelled. What was copied so far stays in place."));
    } else {
        m_services.messages->show(QStringLiteral("Copy Complete"));
    }
    if (const QString problems = copyProblemsText(outcome, report.failures); !problems.isEmpty())
        m_services.messages->show(problems, MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
    Pbar1->setValue(0);
    Pbar1->setVisible(false);
}

// --- Drive viewer and tools

void frmFile::showPane(const InfoPane &pane)
{
    for (int i = 0; i < 12; ++i) {
        lbl[i]->setText(pane[static_cast<size_t>(i)].label);
        txt[i]->setText(pane[static_cast<size_t>(i)].value);
        txt[i]->setCursorPosition(0);
    }
}

bool frmFile::viewerDriveReady()
{
    if (!m_viewerRoot.isEmpty() && isFolderReadable(m_viewerRoot))
        return true;
    m_services.messages->show(QStringLiteral("Drive not ready !"), MsgIcon::Critical);
    return false;
}

void frmFile::pickFolder()
{
    QListWidgetItem *item = lstFolders->currentItem();
    if (!item || !viewerDriveReady())
        return;
    const QString folder = item->data(Qt::UserRole).toString();
    const Result<InfoPane> pane = folderPane(folder);
    lstFiles->clear();
    if (!pane) {
        showError(pane.message());
        return;
    }
    showPane(*pane);
    txt[kPaneSizeLine]->clear();
    txt[kPaneSizeLine]->setPlaceholderText(QStringLiteral("Counting..."));
    m_paneSizes->requestContents(folder, [this, folder](const FolderContents &contents) {
        for (const ListedEntry &file : contents.files)
            addViewerItem(lstFiles, file);
        txt[kPaneSizeLine]->setText(QString::number(contents.size.bytes) +
                                    (contents.size.incomplete.isEmpty()
                                         ? QString()
                                         : QStringLiteral(" (incomplete: not all could be read)")));
        if (!contents.listError.isEmpty())
            showError(QStringLiteral("The files of %1 could not be listed: %2")
                          .arg(QDir::toNativeSeparators(folder), contents.listError));
    });
}

void frmFile::pickFile()
{
    QListWidgetItem *folder = lstFolders->currentItem();
    QListWidgetItem *file = lstFiles->currentItem();
    if (!folder || !file || !viewerDriveReady())
        return;
    m_paneSizes->cancel();
    const Result<InfoPane> pane = filePane(file->data(Qt::UserRole).toString());
    if (!pane) {
        showError(pane.message());
        return;
    }
    showPane(*pane);
}

QString frmFile::currentFolderPath() const
{
    const int row = Grid1->currentRowNumber();
    return row >= 1 && row <= m_folders->rowCount() ? m_folders->row(row - 1).path : QString();
}

void frmFile::showProperties()
{
    const QString path = currentFolderPath();
    if (path.isEmpty())
        return;
    FrmProperty window(m_services, this);
    if (Status filled = window.setFolder(path); !filled) {
        showError(filled.message());
        return;
    }
    window.exec();
}

void frmFile::sendToLauncher()
{
    const QString path = currentFolderPath();
    if (path.isEmpty())
        return;
    if (const Status set = m_schemes.putOnLauncher(path); !set)
        showError(QStringLiteral("The folder could not be put on the program launcher: ") +
                  set.message());
}

void frmFile::createShortcut()
{
    const int row = Grid1->currentRowNumber();
    if (row < 1 || row > m_folders->rowCount())
        return;
    const SchemeFolderRow &folder = m_folders->row(row - 1);
    const Result<QString> made =
        createDesktopShortcut(m_services.places.desktopDir, folder.name, folder.path);
    if (!made) {
        showError(QStringLiteral("The shortcut could not be created: ") + made.message());
        return;
    }
    m_services.messages->show(QStringLiteral("Shortcut create successfully"));
}

void frmFile::openFileCopier()
{
    frmFileCopy window(m_services, this);
    window.setTickedFolders([this] { return tickedFolders(); });
    window.exec();
}

void frmFile::showError(const QString &text)
{
    m_services.messages->show(text, MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
}

void frmFile::reportFailures(const QString &heading, const JobReport &report)
{
    if (!report.failures.empty())
        m_services.messages->show(heading + QLatin1Char('\n') + failureListText(report.failures),
                                  MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
}

void frmFile::reject()
{
    if (m_job->isRunning()) {
        m_job->cancel();
        return;
    }
    QDialog::reject();
}

void frmFile::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

} // namespace quenda
