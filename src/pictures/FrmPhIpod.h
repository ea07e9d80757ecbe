#pragma once

#include "common/services.h"
#include "jobs/job_runner.h"
#include "pictures/picture_folder_store.h"
#include "pictures/picture_scan.h"
#include "pictures/picture_send.h"

#include <QDialog>

#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace quenda {

class PictureFolderModel;
class QdGrid;

// The picture window: records the sub-folders of a chosen folder, four levels deep, and sends
// each of them to the staging folder under a flattened name. The scan and the send run as
// jobs, one at a time.
class FrmPhIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmPhIpod(const Services &services, QWidget *parent = nullptr);
    ~FrmPhIpod() override;

    // The scan or send that runs now, if any.
    JobRunner *job() const { return m_job; }
    // The base name of the recorded folder, from the first row of the table.
    QString rootName() const { return m_rootName; }

    void done(int result) override;

private:
    enum class Action { None, Scan, Send };

    void buildControls();
    void loadTable();
    void layoutGrid();
    void chooseFolder();
    void Folder1_Change();
    void scanFinished(const PictureScanOutcome &outcome, const JobReport &report);
    void CmdCopy_Click();
    void showSendProgress(const JobProgress &progress);
    void sendFinished(const PictureSendOutcome &outcome, const JobReport &report);

    Services m_services;
    PictureFolderStore m_store;
    JobRunner *m_job = nullptr;
    Action m_action = Action::None;
    std::vector<PictureFolderRow> m_rows;
    PictureFolderModel *m_folders = nullptr;
    QString m_rootName;

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Folder1 = nullptr;
    QToolButton *CmdBrowse = nullptr;
    QPushButton *CmdHelps = nullptr;
    QdGrid *FG1 = nullptr;
    QProgressBar *PB = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *LblTest = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *LblDest = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *CmdCopy = nullptr;
    QPushButton *CmdClose = nullptr;
};

} // namespace quenda
