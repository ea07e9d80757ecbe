#include "contacts/import/FrmCntIpod.h"

#include "common/QdGrid.h"
#include "contacts/export/CardVersionBox.h"
#include "contacts/export/contact_list_model.h"
#include "contacts/export/contact_send.h"
#include "contacts/export/vcard_writer.h"
#include "contacts/import/import_models.h"
#include "formats/table_sources.h"
#include "jobs/job_widgets.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <optional>

namespace quenda {

namespace {

enum Tab { SelectFile = 1, SetFields, OtherFields, SelectedFields, Preview, SendIpod };

} // namespace

FrmCntIpod::FrmCntIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_session(services.places.databasePath())
{
    setObjectName(QStringLiteral("FrmCntIpod"));
    setWindowTitle(QStringLiteral("Import Contacts  from other database to Ipod Folder "));
    resize(940, 600);
    m_job = new JobRunner(this);
    m_preview = new JobRunner(this);
    m_reading = new JobRunner(this);
    buildControls();
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this, {CmdIpod, CmdImport, SSCommand2});
    buildGrids();
    loadSchemeNames();
    setStepButtons(SelectFile);
    Frame2->setVisible(false);
    CmdImport->setVisible(false);
}

FrmCntIpod::~FrmCntIpod() = default;

// ---- Tabs and steps

void FrmCntIpod::setStepButtons(int tab)
{
    CmdBck->setEnabled(tab != SelectFile);
    cmdNext->setEnabled(tab != Preview);
    CmdImport->setEnabled(tab != SelectFile && !m_job->isRunning());
}

void FrmCntIpod::step(int by)
{
    const int next = SSActiveTabs1->currentIndex() + by;
    if (next >= 0 && next < SSActiveTabs1->count())
        SSActiveTabs1->setCurrentIndex(next);
}

void FrmCntIpod::tabChosen(int index)
{
    const int tab = index + 1;
    setStepButtons(tab);
    switch (tab) {
    case SelectFile:
        Frame2->setVisible(false);
        CmdImport->setVisible(false);
        break;
    case SetFields:
    case OtherFields:
        Frame2->setVisible(true);
        CmdImport->setVisible(false);
        break;
    case SelectedFields:
        Frame2->setVisible(true);
        CmdImport->setVisible(false);
        refreshSelectedFields();
        break;
    case Preview:
        Frame2->setVisible(false);
        CmdImport->setVisible(true);
        Option3->setChecked(true);
        previewExisting();
        break;
    case SendIpod:
        CmdImport->setVisible(false);
        loadSendList();
        break;
    default:
        break;
    }
}

bool FrmCntIpod::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == CmdHelps && event->type() == QEvent::Enter)
        CmdHelps->setToolTip(m_session.helpText(QStringLiteral("LS0017")));
    return QDialog::eventFilter(watched, event);
}

void FrmCntIpod::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    m_preview->cancel();
    m_reading->cancel();
    QDialog::done(result);
}

// ---- Source selection

void FrmCntIpod::kindChanged()
{
    List1->setVisible(isAccessKind(Combo1->currentText()));
}

int FrmCntIpod::chosenCodePage() const
{
    return cboCodePage->currentData().toInt();
}

void FrmCntIpod::chooseFile()
{
    const QString kind = Combo1->currentText();
    if (!tableSourceKinds().contains(kind)) {
        m_services.messages->show(QStringLiteral("Invalid Database Type "), MsgIcon::Exclamation);
        return;
    }
    FileDialogOptions options;
    options.title = QStringLiteral("Select Database To Import");
    options.filter = importFileFilter(kind);
    const QString path = m_services.dialogs->openFile(options);
    if (path.trimmed().isEmpty())
        return;
    txtflnm->setText(QDir::toNativeSeparators(path));
    m_source = ImportSource{kind, path, QString(), chosenCodePage()};
    if (isAccessKind(kind)) {
        listTables();
        return;
    }
    txtflnm->setText(stripfilename(QDir::toNativeSeparators(path)));
    lbltable->setText(QString());
    readSource(false);
}

void FrmCntIpod::readSource(bool listTables)
{
    if (listTables || m_readAgain != SourceRead::Tables)
        m_readAgain = listTables ? SourceRead::Tables : SourceRead::Fields;
    if (m_reading->isRunning()) {
        m_reading->cancel(); // its result is passed over; the latest choice is read after it
        return;
    }
    startSourceRead();
}

void FrmCntIpod::startSourceRead()
{
    const bool listTables = m_readAgain == SourceRead::Tables;
    m_readAgain = SourceRead::None;
    const ImportSource source = m_source;
    m_reading->start<std::shared_ptr<Result<SourceShape>>>(
        [source, listTables](JobControl &) {
            return std::make_shared<Result<SourceShape>>(readSourceShape(source, listTables));
        },
        [this, listTables](std::shared_ptr<Result<SourceShape>> shape, const JobReport &) {
            if (m_readAgain != SourceRead::None) {
                startSourceRead();
                return;
            }
            if (shape)
                sourceRead(*shape, listTables);
        });
}

void FrmCntIpod::sourceRead(const Result<SourceShape> &shape, bool listed)
{
    if (!shape) {
        m_services.messages->show(shape.message(), MsgIcon::Exclamation);
        return;
    }
    if (listed) {
        const QSignalBlocker quiet(List1); // the first table's fields are read already
        List1->addItems(shape->tables);
        if (shape->tables.isEmpty())
            return;
        List1->setCurrentRow(0);
        m_source.table = shape->source.table;
        lbltable->setText(QStringLiteral(" Table : ") + m_source.table);
    }
    if (!shape->fields) {
        setSourceFields({});
        m_services.messages->show(shape->fields.message(), MsgIcon::Exclamation);
        return;
    }
    setSourceFields(*shape->fields);
    applySuggestedMapping();
}

// Fields whose names tell their column are mapped in advance; a cell the user (or a recalled
// scheme) filled keeps its field.
void FrmCntIpod::applySuggestedMapping()
{
    applySuggestedFields({m_important, m_other}, m_sourceFields, m_source.kind);
}

void FrmCntIpod::listTables()
{
    {
        const QSignalBlocker quiet(List1);
        List1->clear();
    }
    // Nothing of an earlier database stays in sight; a readable one names its table again.
    lbltable->setText(QStringLiteral(" Table : "));
    setSourceFields({});
    readSource(true); // opens the first table
}

void FrmCntIpod::openTable()
{
    const QListWidgetItem *item = List1->currentItem();
    if (!item)
        return;
    m_source.table = item->text();
    lbltable->setText(QStringLiteral(" Table : ") + m_source.table);
    readSource(false);
}

void FrmCntIpod::codePageChanged()
{
    m_source.codePage = chosenCodePage();
    if (m_source.path.isEmpty() || m_source.isAccess())
        return;
    readSource(false);
}

void FrmCntIpod::setSourceFields(const QStringList &fields)
{
    m_sourceFields = fields;
    List2->clear();
    List2->addItems(fields);
}

// ---- Mapping and schemes

void FrmCntIpod::refreshSelectedFields()
{
    int at = 0;
    for (const MappingModel *from : {m_important, m_other}) {
        for (const MappingGridRow &row : from->rows()) {
            m_selection->setField(at, row.field);
            Grid4->setRowHidden(at, row.field.trimmed().isEmpty());
            ++at;
        }
    }
}

void FrmCntIpod::loadSchemeNames()
{
    const QString recalled = cboScheme->currentText();
    const QString typed = cboScheme1->currentText();
    const Result<QStringList> names = m_session.schemeNames();
    cboScheme->clear();
    cboScheme1->clear();
    if (!names) {
        m_services.messages->show(names.message(), MsgIcon::Critical);
        return;
    }
    cboScheme->addItems(*names);
    cboScheme1->addItems(*names);
    cboScheme->setCurrentIndex(names->indexOf(recalled));
    cboScheme1->setCurrentText(typed);
}

void FrmCntIpod::recallScheme()
{
    const auto rows = m_session.schemeRows(cboScheme->currentText(), m_important->rowCount());
    if (!rows) {
        m_services.messages->show(rows.message(), MsgIcon::Critical);
        return;
    }
    for (const SchemeRow &row : *rows)
        m_important->setField(row.row - 1, row.field);
}

void FrmCntIpod::saveScheme()
{
    Grid1->setCurrentIndex(QModelIndex()); // an open editor hands its text to the grid first
    if (const Status saved = m_session.saveScheme(cboScheme1->currentText(), m_important->fields());
        !saved) {
        m_services.messages->show(saved.message(), MsgIcon::Critical);
        return;
    }
    loadSchemeNames();
    m_services.messages->show(QStringLiteral("Scheme saved successfully"));
}

// ---- Preview and import

void FrmCntIpod::showInGrid3(const QStringList &fields, std::vector<QStringList> rows,
                             bool hideFirst)
{
    m_records->setRecords(fields, std::move(rows));
    const QFontMetrics metrics = Grid3->horizontalHeader()->fontMetrics();
    Grid3->setColHidden(0, hideFirst);
    Grid3->setColumnWidth(0, 12);
    for (int c = 1; c < Grid3->cols(); ++c) {
        Grid3->setColHidden(c, false);
        Grid3->setColumnWidth(c, std::max(60, metrics.horizontalAdvance(Grid3->colHeader(c)) + 16));
    }
}

void FrmCntIpod::previewExisting()
{
    m_preview->cancel();
    LblPreviewRows->clear();
    Result<PreviewTable> stored = m_session.storedContacts(kMaxPreviewRows);
    if (!stored) {
        m_services.messages->show(stored.message(), MsgIcon::Critical);
        return;
    }
    showInGrid3(stored->headers, std::move(stored->rows), false);
}

void FrmCntIpod::previewSource()
{
    if (m_preview->isRunning()) {
        m_preview->cancel(); // the newer preview starts once this one has ended
        m_previewAgain = true;
        return;
    }
    LblPreviewRows->clear();
    if (!m_source.isChosen()) {
        showInGrid3({}, {}, true);
        return;
    }
    const ImportSource source = m_source;
    m_preview->start<std::shared_ptr<Result<SourcePreview>>>(
        [source](JobControl &control) {
            return std::make_shared<Result<SourcePreview>>(
                readSourcePreview(source, kMaxPreviewRows, 0, control));
        },
        [this, source](std::shared_ptr<Result<SourcePreview>> preview, const JobReport &report) {
            if (std::exchange(m_previewAgain, false)) {
                if (Option1->isChecked())
                    previewSource();
                return;
            }
            if (report.cancelled || !preview || !Option1->isChecked())
                return;
            if (!*preview) {
                if (!m_job->isRunning()) // an import under way reports the same fault itself
                    m_services.messages->show(preview->message(), MsgIcon::Exclamation);
                return;
            }
            if (source.isAccess())
                setSourceFields((*preview)->fields);
            LblPreviewRows->setText(previewExtentText(**preview));
            showInGrid3((*preview)->fields, std::move((*preview)->rows), true);
        });
}

void FrmCntIpod::importContacts()
{
    if (m_job->isRunning())
        return;
    if (Option3->isChecked()) {
        Option1->setChecked(true);
        previewSource();
    }
    refreshSelectedFields();
    const std::vector<ImportPair> pairs = m_selection->includedPairs();
    // Rows mapped but all unticked would add empty contacts: that is no selection either.
    if (!m_selection->anyMapped() || pairs.empty()) {
        m_services.messages->show(QStringLiteral("Fields Not Selected"), MsgIcon::Exclamation);
        return;
    }
    if (!m_source.isChosen()) {
        m_services.messages->show(QStringLiteral("Item Not Selected"), MsgIcon::Exclamation);
        return;
    }
    // First the records that are stored contacts already, so that the user can leave them out.
    const QString database = m_services.places.databasePath();
    const ImportSource source = m_source;
    m_job->start<std::optional<DuplicateScan>>(
        [database, source, pairs](JobControl &control) -> std::optional<DuplicateScan> {
            const Result<DuplicateScan> scan = runDuplicateScan(database, source, pairs, control);
            if (scan)
                return *scan;
            if (!control.stoppedEarly())
                control.abort(scan.message());
            return std::nullopt;
        },
        [this, pairs](std::optional<DuplicateScan> scan, const JobReport &report) {
            if (!scan) {
                m_services.messages->show(report.cancelled ? cancelledImportMessage()
                                                           : report.status.message(),
                                          MsgIcon::Exclamation);
                return;
            }
            DuplicatePolicy policy = DuplicatePolicy::Import;
            if (scan->count > 0 &&
                m_services.messages->show(duplicatesQuestion(*scan), MsgIcon::Question,
                                          MsgButtons::YesNo) == MsgAnswer::No)
                policy = DuplicatePolicy::Skip;
            startImport(pairs, policy);
        });
}

void FrmCntIpod::startImport(const std::vector<ImportPair> &pairs, DuplicatePolicy duplicates)
{
    const QString database = m_services.places.databasePath();
    const ImportSource source = m_source;
    m_job->start<std::optional<ImportOutcome>>(
        [database, source, pairs, duplicates](JobControl &control) -> std::optional<ImportOutcome> {
            const Result<ImportOutcome> done =
                runContactImport(database, source, pairs, control, duplicates);
            if (done)
                return *done;
            if (!control.stoppedEarly())
                control.abort(done.message());
            return std::nullopt;
        },
        [this, duplicates](std::optional<ImportOutcome> outcome, const JobReport &report) {
            // A cancel that came after the commit changes nothing: the contacts are in.
            if (outcome) {
                m_services.messages->show(QStringLiteral(" Imported  "), MsgIcon::Exclamation);
                if (outcome->blankSkipped > 0)
                    m_services.messages->show(blankRecordsMessage(outcome->blankSkipped));
                if (outcome->duplicates > 0)
                    m_services.messages->show(duplicatesMessage(outcome->duplicates, duplicates));
            } else if (report.cancelled) {
                m_services.messages->show(cancelledImportMessage(), MsgIcon::Exclamation);
            } else {
                m_services.messages->show(report.status.message(), MsgIcon::Exclamation);
            }
        });
}

// ---- Sending to the device

void FrmCntIpod::loadSendList()
{
    const Result<QStringList> names = m_session.contactNames();
    if (!names) {
        m_names->setNames({});
        m_services.messages->show(names.message(), MsgIcon::Critical);
        return;
    }
    m_names->setNames(*names);
    GridIpod->setFormatString(QStringLiteral("|Name") + QString(46, QLatin1Char(' ')));
    GridIpod->setColWidthTwips(0, 0);
    CmbIpodVersion->showRemembered();
}

void FrmCntIpod::sendToDesktop()
{
    if (m_job->isRunning())
        return;
    const QStringList names = m_names->names();
    const QString database = m_services.places.databasePath();
    const QString folder = m_services.places.stagingDir();
    const CardVersion version = CmbIpodVersion->version();
    m_job->start<int>(
        [database, names, folder, version](JobControl &control) {
            return runContactSend(database, names, folder, control, version);
        },
        [this, folder](int, const JobReport &report) {
            m_services.messages->show(QStringLiteral("File Saved to ") +
                                      QDir::toNativeSeparators(folder));
            if (const QString failures = cardFailureMessage(report); !failures.isEmpty())
                m_services.messages->show(failures, MsgIcon::Exclamation);
        });
}

} // namespace quenda
