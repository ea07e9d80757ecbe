#pragma once

#include "common/services.h"
#include "jobs/job_runner.h"
#include "notes/note_conversion.h"
#include "notes/note_list_store.h"
#include "notes/note_merge.h"
#include "notes/note_reading.h"
#include "notes/notes_scan.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace quenda {

class NoteListModel;
class QdGrid;
class frmsplit;

// The notes window: scans a folder for rich-text and text documents, converts them into
// plain-text notes in the staging folder, and views, cuts, merges and splits the notes. The
// scan, the conversion and the merge run as jobs; one at a time.
class FrmNotesIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmNotesIpod(const Services &services, QWidget *parent = nullptr);
    ~FrmNotesIpod() override;

    // The texts the two viewers hold, with CR LF line ends as the notes are written.
    QString previewText() const { return m_previewText; }
    QString viewText() const { return m_viewText; }
    QString currentNoteName() const { return m_noteName; }
    // The splitter that received the last viewed note's path; null before any note was viewed.
    frmsplit *splitWindow() const { return m_split; }
    // The scan, conversion or merge that runs now, if any.
    JobRunner *job() const { return m_job; }
    // Blocks until both viewers hold what was last asked of them (a large document is read on
    // a worker thread).
    void waitForReads();

    void done(int result) override;

private:
    enum class Action { None, Scan, Convert, Merge, Cut };

    void buildControls();
    void applyGridLayout(QdGrid *grid);
    void loadGrids();
    void updateCount();
    void CmdScanOff_Click();
    void scanFinished(ScanOutcome outcome, const JobReport &report);
    void previewDocument(int row);
    void CmdConvert_Click();
    void conversionProgress(const JobProgress &progress);
    void conversionFinished(ConversionOutcome outcome, const JobReport &report);
    void viewNote(int row);
    void CmdCut_Click();
    void CmdMerge_Click();
    void mergeFinished(MergeOutcome outcome, const QString &chosen, const JobReport &report);
    void cmdSplit_Click();
    void exportJournal(bool asHtml);
    void SSCommand2_Click();
    void showPreview(const QString &text);
    void showView(const QString &text);
    void reportNotDone(const QString &heading, const JobReport &report);
    frmsplit *ensureSplitWindow();

    Services m_services;
    NoteListStore m_lists;
    JobRunner *m_job = nullptr;
    Action m_action = Action::None;
    QString m_previewText;
    QString m_viewText;
    bool m_viewComplete = true; // m_viewText holds the whole note, not only its start
    QString m_noteName;
    frmsplit *m_split = nullptr; // a child: goes with the window
    NoteReads m_previewReads;
    NoteReads m_viewReads;
    NoteListModel *m_documents = nullptr; // GrdOffice
    NoteListModel *m_notes = nullptr;     // GrdView

    QLabel *Label1 = nullptr;
    QTabWidget *SSActiveTabs1 = nullptr;
    // Read
    QLabel *Label4 = nullptr;
    QLineEdit *FolderViewOff = nullptr;
    QPushButton *CmdBrowseOff = nullptr;
    QPushButton *CmdScanOff = nullptr;
    QPushButton *CmdHelps = nullptr;
    QProgressBar *pb1 = nullptr;
    QLabel *LblCount = nullptr;
    QdGrid *GrdOffice = nullptr;
    QPlainTextEdit *rtfView = nullptr;
    QPushButton *SSCommand2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *SSCommand1 = nullptr;
    // Convert
    QLabel *Label3 = nullptr;
    QPushButton *CmdConvert = nullptr;
    QProgressBar *PG3 = nullptr;
    QListWidget *LstConvert = nullptr;
    // View
    QdGrid *GrdView = nullptr;
    QPlainTextEdit *RtfView1 = nullptr;
    QPushButton *CmdCut = nullptr;
    QPushButton *CmdMerge = nullptr;
    QPushButton *cmdSplit = nullptr;
    // Send to Ipod Folder
    QLabel *Label5 = nullptr;
    QPushButton *CmdSendIpod = nullptr;
    // Help
    QLabel *Label2 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
};

} // namespace quenda
