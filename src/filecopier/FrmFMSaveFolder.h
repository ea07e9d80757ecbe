#pragma once

#include "common/services.h"
#include "filecopier/office_file_store.h"
#include "filecopier/organised_copy.h"
#include "jobs/job_runner.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace quenda {

// The completion message of a copy, then, when not everything arrived, a second message with
// the files not copied and the copies that replaced a same-named file from another folder. A
// copy that could not start or was stopped says so instead of claiming completion.
void showCopyResult(Messages &messages, const QString &completion, MsgIcon completionIcon,
                    const OrganisedCopyOutcome &outcome, const JobReport &report,
                    const QString &title);

// Copies the ticked files into folders built by a scheme from each file's type and creation
// date, below a "File Copier" folder of the chosen destination. That folder is emptied when the
// copy starts, never merely by opening the dialog; a folder the user picks instead is used as
// it is.
class FrmFMSaveFolder : public QDialog {
    Q_OBJECT
public:
    // base: the destination the file copier's options name; sources: its ticked files in list
    // order.
    FrmFMSaveFolder(const Services &services, const QString &base, const QStringList &sources,
                    QWidget *parent = nullptr);
    // Opened on its own: the Desktop as base and the files saved as ticked in the list.
    explicit FrmFMSaveFolder(const Services &services, QWidget *parent = nullptr);

    JobRunner *job() const { return m_job; }
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void SSCommand9_Click();
    void showHelpText();

    Services m_services;
    OfficeFileStore m_store;
    QString m_base;
    QString m_proposed; // base + "/File Copier"
    QStringList m_sources;
    JobRunner *m_job = nullptr;

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *cboFolderWise = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *BrowseFolder1 = nullptr;
    QPushButton *CmdBrowse = nullptr;
    QPushButton *SSCommand9 = nullptr;
    QPushButton *CmdClose = nullptr;
    QProgressBar *PG3 = nullptr;
    QLabel *SSRibbon2 = nullptr;
};

} // namespace quenda
