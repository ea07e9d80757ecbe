#pragma once

#include "common/services.h"
#include "db/database.h"
#include "jobs/job_runner.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTabWidget;

namespace quenda {

class QdGrid;

// The contact window: the import steps on tabs 1 to 5 and, on tab 6, sending every contact to
// the staging folder as home, work and combined vCards.
class FrmCntIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmCntIpod(const Services &services, QWidget *parent = nullptr);
    ~FrmCntIpod() override;

    static constexpr int kSendIpodTab = 5;

    // The send that runs now, if any.
    JobRunner *job() const { return m_job; }

    void done(int result) override;

private:
    void buildControls();
    void tabChosen(int index);
    void loadSendList();
    void sendToDesktop();

    Services m_services;
    Connection m_connection;
    JobRunner *m_job = nullptr;

    QLabel *LblHeading = nullptr;
    QTabWidget *SSActiveTabs1 = nullptr;
    // One frame per tab, in tab order; the import steps fill the first five.
    QWidget *FraSelectFile = nullptr;
    QWidget *FraSetFields = nullptr;
    QWidget *FraOtherFields = nullptr;
    QWidget *FraSelectedFields = nullptr;
    QWidget *FraPreview = nullptr;
    QWidget *FraSendIpod = nullptr;
    QdGrid *GridIpod = nullptr;
    QPushButton *CmdIpod = nullptr;
    QPushButton *CmdImport = nullptr;
};

} // namespace quenda
