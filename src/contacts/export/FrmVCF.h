#pragma once

#include "common/services.h"
#include "contacts/export/export_session.h"
#include "jobs/job_runner.h"

#include <QDialog>

#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTabBar;
class QToolBar;

namespace quenda {

class CardVersionBox;
class ContactListModel;
class QdGrid;

// Lists the organizer's contacts, narrows them by category, sub-category and priority, lets
// the user mark some and writes a combined vCard for each marked one into the staging folder.
class FrmVCF : public QDialog {
    Q_OBJECT
public:
    explicit FrmVCF(const Services &services, QWidget *parent = nullptr);
    ~FrmVCF() override;

    // The export that runs now, if any.
    JobRunner *job() const { return m_job; }

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    bool loadRows(Result<std::vector<ContactListRow>> rows);
    void applyGridLayout();
    void categoryChosen();
    void filter();
    void showAll();
    void tabChosen(int index);
    void viewSelected();
    void markAll();
    void exportMarked();
    bool handleKey(QKeyEvent *event);

    Services m_services;
    ExportSession m_session;
    JobRunner *m_job = nullptr;
    ContactListModel *m_contacts = nullptr;

    QLabel *Label1 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label2 = nullptr;
    QTabBar *Tab1 = nullptr;
    QFrame *PnlFilter = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QComboBox *CmbCat = nullptr;
    QComboBox *CmbSub = nullptr;
    QComboBox *CmbPriority = nullptr;
    QPushButton *CmdFilter = nullptr;
    QdGrid *Grid1 = nullptr;
    QCheckBox *ChkSelect = nullptr;
    CardVersionBox *CmbVersion = nullptr;
    QPushButton *CmdSave = nullptr;
    QPushButton *CmdClose = nullptr;
    QPushButton *CmdHelps = nullptr;
    QToolBar *SSActiveToolBars1 = nullptr;
    QMenu *Menu = nullptr;
};

} // namespace quenda
