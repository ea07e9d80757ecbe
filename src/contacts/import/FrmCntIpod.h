#pragma once

#include "common/services.h"
#include "contacts/import/contact_import.h"
#include "contacts/import/import_session.h"
#include "contacts/import/import_source.h"
#include "jobs/job_runner.h"

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace quenda {

class CardVersionBox;
class ContactNameModel;
class MappingModel;
class PreviewModel;
class QdGrid;

// The contact window. Tabs 1 to 5 import contacts: choose a source file (and table), map its
// fields onto the contact columns (with saved schemes), check the selection, preview, import.
// Tab 6 sends every contact to the staging folder as home, work and combined vCards.
class FrmCntIpod : public QDialog {
    Q_OBJECT
public:
    explicit FrmCntIpod(const Services &services, QWidget *parent = nullptr);
    ~FrmCntIpod() override;

    static constexpr int kSendIpodTab = 5;
    // A preview shows at most this many records; the import reads them all.
    static constexpr qsizetype kMaxPreviewRows = 200000;

    // The import or the send that runs now, if any.
    JobRunner *job() const { return m_job; }
    // The reading of the source for the preview grid.
    JobRunner *previewJob() const { return m_preview; }
    // The reading of a chosen source's tables and fields.
    JobRunner *sourceJob() const { return m_reading; }

    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Built in FrmCntIpod_controls.cpp.
    void buildControls();
    QWidget *buildSelectFileTab();
    QWidget *buildSetFieldsTab();
    void buildGrids();
    void prepareMappingGrid(QdGrid *grid, MappingModel *model, const QString &format,
                            bool isSelection);

    void tabChosen(int index);
    void setStepButtons(int tab);
    void step(int by);

    // Source selection.
    void kindChanged();
    void chooseFile();
    void listTables();
    void openTable();
    void codePageChanged();
    void setSourceFields(const QStringList &fields);
    // Reads the chosen source's fields (and, when asked, an Access database's tables) as a job;
    // a newer choice made meanwhile is read once the older read has ended.
    void readSource(bool listTables);
    void startSourceRead();
    void sourceRead(const Result<SourceShape> &shape, bool listed);
    void applySuggestedMapping();
    void startImport(const std::vector<ImportPair> &pairs, DuplicatePolicy duplicates);
    int chosenCodePage() const;

    // Mapping and schemes.
    void refreshSelectedFields();
    void recallScheme();
    void saveScheme();
    void loadSchemeNames();

    // Preview and import.
    void previewExisting();
    void previewSource();
    void showInGrid3(const QStringList &fields, std::vector<QStringList> rows, bool hideFirst);
    void importContacts();

    // Sending to the device.
    void loadSendList();
    void sendToDesktop();

    Services m_services;
    ImportSession m_session;
    JobRunner *m_job = nullptr;
    JobRunner *m_preview = nullptr;
    JobRunner *m_reading = nullptr;
    enum class SourceRead { None, Fields, Tables };
    SourceRead m_readAgain = SourceRead::None;
    bool m_previewAgain = false;
    MappingModel *m_important = nullptr; // Grid1
    MappingModel *m_other = nullptr;     // Grid2
    MappingModel *m_selection = nullptr; // Grid4: the rows of both, in that order
    PreviewModel *m_records = nullptr;   // Grid3
    ContactNameModel *m_names = nullptr; // GridIpod
    ImportSource m_source;
    QStringList m_sourceFields; // the drop-down choices of the mapping grids

    QLabel *LblHeading = nullptr;
    QTabWidget *SSActiveTabs1 = nullptr;
    // One frame per tab, in tab order.
    QWidget *FraSelectFile = nullptr;
    QWidget *FraSetFields = nullptr;
    QWidget *FraOtherFields = nullptr;
    QWidget *FraSelectedFields = nullptr;
    QWidget *FraPreview = nullptr;
    QWidget *FraSendIpod = nullptr;

    // Step 1.
    QLabel *Label4 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *Cmdsel = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *txtflnm = nullptr;
    QLabel *LblCodePage = nullptr;
    QComboBox *cboCodePage = nullptr;
    QListWidget *List1 = nullptr;
    QLabel *lbltable = nullptr;
    QFrame *Frame2 = nullptr;
    QLabel *Label3 = nullptr;
    QListWidget *List2 = nullptr;

    // Steps 2 and 3.
    QLabel *Label5 = nullptr;
    QdGrid *Grid1 = nullptr;
    QLabel *Label10 = nullptr;
    QComboBox *cboScheme = nullptr;
    QLabel *Label11 = nullptr;
    QComboBox *cboScheme1 = nullptr;
    QPushButton *SSCommand2 = nullptr;
    QLabel *Label6 = nullptr;
    QdGrid *Grid2 = nullptr;
    QLabel *Label7 = nullptr;
    QdGrid *Grid4 = nullptr;

    // Step 4.
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option3 = nullptr;
    QdGrid *Grid3 = nullptr;
    QLabel *LblPreviewRows = nullptr;

    // Send Ipod.
    QdGrid *GridIpod = nullptr;
    QPushButton *CmdIpod = nullptr;
    CardVersionBox *CmbIpodVersion = nullptr;

    QPushButton *CmdHelps = nullptr;
    QPushButton *CmdBck = nullptr;
    QPushButton *cmdNext = nullptr;
    QPushButton *CmdImport = nullptr;
    QPushButton *SSCommand1 = nullptr;
};

} // namespace quenda
