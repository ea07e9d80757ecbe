#include "notes/FrmNotesIpod.h"

#include "common/QdGrid.h"
#include "common/note_names.h"
#include "common/window_shape.h"
#include "jobs/failure_text.h"
#include "jobs/job_widgets.h"
#include "notes/note_cutting.h"
#include "notes/note_journal.h"
#include "notes/note_list_model.h"
#include "splitter/frmsplit.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kGridFormat = QStringLiteral("File|Path|Size|date");
const QString kTitle = QStringLiteral("Quenda Ipod");
// Above this many pieces a cut asks once and tells the result in one message.
constexpr int kPiecesShownOneByOne = 20;

QLabel *wrappedLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

FrmNotesIpod::FrmNotesIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_lists(services.places.databasePath())
{
    setObjectName(QStringLiteral("FrmNotesIpod"));
    setWindowTitle(QStringLiteral("Send text file to Ipod"));
    resize(720, 520);
    buildControls();
    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this, {CmdScanOff, CmdConvert, CmdMerge, CmdCut});
    connect(m_job, &JobRunner::progressChanged, this, [this](const JobProgress &p) {
        if (m_action == Action::Convert)
            conversionProgress(p);
        else if (m_action == Action::Scan)
            setBarProgress(pb1, p);
    });
    loadGrids();
    LstConvert->addItems({QStringLiteral("Doc"), QStringLiteral("HTML"), QStringLiteral("XlS")});
    updateCount();
}

FrmNotesIpod::~FrmNotesIpod() = default;

void FrmNotesIpod::waitForReads()
{
    m_previewReads.waitForIdle();
    m_viewReads.waitForIdle();
}

void FrmNotesIpod::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    Label1 = makeTitleLabel(QStringLiteral("Send text file to Ipod"), this);
    layout->addWidget(Label1);

    SSActiveTabs1 = new QTabWidget(this);
    layout->addWidget(SSActiveTabs1, 1);

    // Read
    auto *read = new QWidget(SSActiveTabs1);
    auto *readLayout = new QVBoxLayout(read);
    auto *sourceRow = new QHBoxLayout;
    Label4 = new QLabel(QStringLiteral("Source Path"), read);
    FolderViewOff = new QLineEdit(read);
    CmdBrowseOff = new QPushButton(QStringLiteral("..."), read);
    CmdScanOff = new QPushButton(QStringLiteral("Read Folder"), read);
    CmdHelps = new QPushButton(QStringLiteral("?"), read);
    CmdHelps->setToolTip(QStringLiteral(
        "Select parent folder contain all your rtf, txt files. This will scan folder and all "
        "subfolder for txt & rtf files and make ready."));
    sourceRow->addWidget(Label4);
    sourceRow->addWidget(FolderViewOff, 1);
    sourceRow->addWidget(CmdBrowseOff);
    sourceRow->addWidget(CmdScanOff);
    sourceRow->addWidget(CmdHelps);
    readLayout->addLayout(sourceRow);
    pb1 = new QProgressBar(read);
    pb1->setVisible(false);
    readLayout->addWidget(pb1);
    auto *readPanes = new QHBoxLayout;
    GrdOffice = new QdGrid(read);
    m_documents = new NoteListModel(this);
    GrdOffice->setModel(m_documents);
    rtfView = new QPlainTextEdit(read);
    rtfView->setReadOnly(true);
    readPanes->addWidget(GrdOffice, 1);
    readPanes->addWidget(rtfView, 2);
    readLayout->addLayout(readPanes, 1);
    auto *readButtons = new QHBoxLayout;
    LblCount = new QLabel(read);
    SSCommand2 = new QPushButton(QStringLiteral("SSCommand2"), read);
    Command1 = new QPushButton(QStringLiteral("Command1"), read);
    SSCommand1 = new QPushButton(QStringLiteral("Convert"), read);
    readButtons->addWidget(LblCount, 1);
    readButtons->addWidget(SSCommand2);
    readButtons->addWidget(Command1);
    readButtons->addWidget(SSCommand1);
    readLayout->addLayout(readButtons);
    SSActiveTabs1->addTab(read, QStringLiteral("Read"));

    // Convert
    auto *convert = new QWidget(SSActiveTabs1);
    auto *convertLayout = new QGridLayout(convert);
    Label3 =
        wrappedLabel(QStringLiteral("Convert all scanned files into text file format"), convert);
    CmdConvert = new QPushButton(QStringLiteral("Convert to Text File"), convert);
    PG3 = new QProgressBar(convert);
    PG3->setRange(0, 100);
    PG3->setValue(0);
    LstConvert = new QListWidget(convert);
    convertLayout->addWidget(Label3, 0, 0, 1, 2);
    convertLayout->addWidget(LstConvert, 1, 0);
    convertLayout->addWidget(CmdConvert, 1, 1, Qt::AlignTop);
    convertLayout->addWidget(PG3, 2, 0, 1, 2);
    convertLayout->setRowStretch(1, 1);
    SSActiveTabs1->addTab(convert, QStringLiteral("Convert"));

    // View
    auto *view = new QWidget(SSActiveTabs1);
    auto *viewLayout = new QVBoxLayout(view);
    auto *viewPanes = new QHBoxLayout;
    GrdView = new QdGrid(view);
    m_notes = new NoteListModel(this);
    GrdView->setModel(m_notes);
    RtfView1 = new QPlainTextEdit(view);
    RtfView1->setReadOnly(true);
    viewPanes->addWidget(GrdView, 1);
    viewPanes->addWidget(RtfView1, 2);
    viewLayout->addLayout(viewPanes, 1);
    auto *viewButtons = new QHBoxLayout;
    CmdCut = new QPushButton(QStringLiteral("Section Break"), view);
    CmdMerge = new QPushButton(QStringLiteral("Merged Files"), view);
    cmdSplit = new QPushButton(QStringLiteral("Split File"), view);
    viewButtons->addStretch();
    viewButtons->addWidget(CmdCut);
    viewButtons->addWidget(CmdMerge);
    viewButtons->addWidget(cmdSplit);
    viewLayout->addLayout(viewButtons);
    SSActiveTabs1->addTab(view, QStringLiteral("View"));

    // Send to Ipod Folder
    auto *send = new QWidget(SSActiveTabs1);
    auto *sendLayout = new QVBoxLayout(send);
    Label5 = wrappedLabel(
        QStringLiteral("Click to send all Convert files to Ipod folder on Desktop."), send);
    CmdSendIpod = new QPushButton(QStringLiteral("   Send To Desktop"), send);
    sendLayout->addWidget(Label5);
    sendLayout->addWidget(CmdSendIpod, 0, Qt::AlignLeft);
    sendLayout->addStretch();
    SSActiveTabs1->addTab(send, QStringLiteral("Send to Ipod Folder"));

    // Help
    auto *help = new QWidget(SSActiveTabs1);
    auto *helpLayout = new QVBoxLayout(help);
    Label2 = wrappedLabel(QStringLiteral("Step-by-step procedures.  You can follow these "
                                         "instructions to complete a specific task."),
                          help);
    // A label shows a doubled ampersand as one.
    Label6 = wrappedLabel(
        QStringLiteral("1-In the Read folder click on the source Path Drop List. Here you may "
                       "type in the path to the folder you wish to designate as the source "
                       "folder then user may search all the rtf & txt file within that."),
        help);
    Label7 = wrappedLabel(
        QStringLiteral("2- Click on the CONVERT TO TEXT FILE button to converted to txt files"),
        help);
    Label8 = wrappedLabel(QStringLiteral("3-View all converted text files."), help);
    Label9 = wrappedLabel(QStringLiteral("4- Click on the SEND TO DESKTOP button to send all "
                                         "Converted files to IPOD folder on your Desktop."),
                          help);
    Label10 = wrappedLabel(QStringLiteral("User may, then copy this folder containing various "
                                          "subfolders of user files to his phone or his PDA."),
                           help);
    for (QLabel *label : {Label2, Label6, Label7, Label8, Label9, Label10})
        helpLayout->addWidget(label);
    helpLayout->addStretch();
    SSActiveTabs1->addTab(help, QStringLiteral("Help"));

    const auto names = {std::pair<QObject *, const char *>{Label1, "Label1"},
                        {SSActiveTabs1, "SSActiveTabs1"},
                        {Label4, "Label4"},
                        {FolderViewOff, "FolderViewOff"},
                        {CmdBrowseOff, "CmdBrowseOff"},
                        {CmdScanOff, "CmdScanOff"},
                        {CmdHelps, "CmdHelps"},
                        {pb1, "pb1"},
                        {LblCount, "LblCount"},
                        {GrdOffice, "GrdOffice"},
                        {rtfView, "rtfView"},
                        {SSCommand2, "SSCommand2"},
                        {Command1, "Command1"},
                        {SSCommand1, "SSCommand1"},
                        {Label3, "Label3"},
                        {CmdConvert, "CmdConvert"},
                        {PG3, "PG3"},
                        {LstConvert, "LstConvert"},
                        {GrdView, "GrdView"},
                        {RtfView1, "RtfView1"},
                        {CmdCut, "CmdCut"},
                        {CmdMerge, "CmdMerge"},
                        {cmdSplit, "cmdSplit"},
                        {Label5, "Label5"},
                        {CmdSendIpod, "CmdSendIpod"},
                        {Label2, "Label2"},
                        {Label6, "Label6"},
                        {Label7, "Label7"},
                        {Label8, "Label8"},
                        {Label9, "Label9"},
                        {Label10, "Label10"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);
    CmdBrowseOff->setFixedWidth(32);
    CmdHelps->setFixedWidth(32);

    connect(CmdBrowseOff, &QPushButton::clicked, this, [this] {
        const QString folder =
            m_services.dialogs->chooseFolder(QStringLiteral("Source Path"), FolderViewOff->text());
        if (!folder.isEmpty())
            FolderViewOff->setText(QDir::toNativeSeparators(folder));
    });
    connect(CmdScanOff, &QPushButton::clicked, this, [this] { CmdScanOff_Click(); });
    connect(GrdOffice, &QdGrid::currentRowNumberChanged, this,
            [this](int row) { previewDocument(row); });
    connect(GrdOffice, &QdGrid::rowPressed, this,
            [this](int row, Qt::MouseButton button, Qt::KeyboardModifiers) {
                if (button == Qt::LeftButton)
                    previewDocument(row);
            });
    connect(CmdConvert, &QPushButton::clicked, this, [this] { CmdConvert_Click(); });
    connect(GrdView, &QdGrid::currentRowNumberChanged, this, [this](int row) { viewNote(row); });
    connect(GrdView, &QdGrid::rowPressed, this,
            [this](int row, Qt::MouseButton button, Qt::KeyboardModifiers) {
                if (button == Qt::LeftButton)
                    viewNote(row);
            });
    connect(CmdCut, &QPushButton::clicked, this, [this] { CmdCut_Click(); });
    connect(CmdMerge, &QPushButton::clicked, this, [this] { CmdMerge_Click(); });
    connect(cmdSplit, &QPushButton::clicked, this, [this] { cmdSplit_Click(); });
    connect(CmdSendIpod, &QPushButton::clicked, this, [this] {
        m_services.messages->show(QStringLiteral("File Save to Desktop\\Ipod Directory"));
    });
    connect(Command1, &QPushButton::clicked, this, [this] { exportJournal(true); });
    connect(SSCommand1, &QPushButton::clicked, this, [this] { exportJournal(false); });
    connect(SSCommand2, &QPushButton::clicked, this, [this] { SSCommand2_Click(); });
    connect(SSActiveTabs1, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 1)
            PG3->setValue(0);
    });
}

void FrmNotesIpod::applyGridLayout(QdGrid *grid)
{
    grid->setFormatString(kGridFormat);
    const char *keys[] = {"App", "Path", "Size", "Date"};
    for (int col = 0; col < 4; ++col) {
        grid->setColKey(col, QString::fromLatin1(keys[col]));
        grid->setColWidthTwips(col, col == 0 ? 2400 : 0);
    }
}

void FrmNotesIpod::loadGrids()
{
    for (const auto &[model, table] :
         {std::pair{m_documents, ScanTable::Documents}, std::pair{m_notes, ScanTable::Notes}}) {
        Result<std::vector<ScanRow>> rows = m_lists.rows(table);
        if (rows)
            model->setRows(storedListRows(*rows));
        else
            m_services.messages->show(QStringLiteral("The list %1 could not be read: %2")
                                          .arg(scanTableName(table), rows.message()),
                                      MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
    }
    applyGridLayout(GrdOffice);
    applyGridLayout(GrdView);
}

void FrmNotesIpod::updateCount()
{
    LblCount->setText(documentCountText(m_documents->rowCount()));
}

void FrmNotesIpod::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

void FrmNotesIpod::reportNotDone(const QString &heading, const JobReport &report)
{
    if (!report.status)
        m_services.messages->show(report.status.message(), MsgIcon::Exclamation, MsgButtons::Ok,
                                  kTitle);
    if (!report.failures.empty())
        m_services.messages->show(heading + QLatin1Char('\n') + failureListText(report.failures),
                                  MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
}

void FrmNotesIpod::CmdScanOff_Click()
{
    if (m_job->isRunning())
        return;
    m_documents->setRows({});
    pb1->setRange(0, 0);
    pb1->setVisible(true);
    m_action = Action::Scan;
    const QString database = m_services.places.databasePath();
    const QString folder = FolderViewOff->text();
    m_job->start<ScanOutcome>(
        [database, folder](JobControl &control) {
            return runDocumentScan(database, folder, control);
        },
        [this](ScanOutcome outcome, const JobReport &report) {
            scanFinished(std::move(outcome), report);
        });
}

void FrmNotesIpod::scanFinished(ScanOutcome outcome, const JobReport &report)
{
    m_action = Action::None;
    m_documents->setRows(std::move(outcome.rows));
    pb1->setVisible(false);
    reportNotDone(QStringLiteral("These files could not be read or recorded:"), report);
    if (outcome.found == 0 && !report.cancelled)
        m_services.messages->show(QStringLiteral("File Not Found"));
    updateCount();
}

void FrmNotesIpod::showPreview(const QString &text)
{
    m_previewText = text;
    rtfView->setPlainText(noteForDisplay(text));
}

void FrmNotesIpod::showView(const QString &text)
{
    m_viewText = text;
    // The viewer holds the start of a long note; cutting works on the whole text.
    const auto shown = static_cast<qsizetype>(kPreviewBytes);
    RtfView1->setPlainText(noteForDisplay(
        text.size() > shown ? text.left(shown) + previewCutNote(shown, text.size()) : text));
}

void FrmNotesIpod::previewDocument(int row)
{
    if (row < 1 || row > m_documents->rowCount())
        return;
    const NoteListRow &document = m_documents->row(row - 1);
    m_noteName = noteBaseName(stripfilename(document.application));
    // A document that cannot be read shows nothing.
    m_previewReads.read(document.path, NoteReadKind::Preview,
                        [this](const NoteText &read) { showPreview(read.text); });
}

void FrmNotesIpod::CmdConvert_Click()
{
    if (m_job->isRunning())
        return;
    if (m_services.messages->show(
            QStringLiteral("Do you wish to convert RTF to TXT file which will be viewable on Ipod"),
            MsgIcon::None, MsgButtons::YesNo, kTitle) != MsgAnswer::Yes)
        return;

    const std::vector<NoteSource> sources = m_documents->sources();
    const QStringList previous = m_notes->paths();

    m_action = Action::Convert;
    const QString database = m_services.places.databasePath();
    const QString staging = m_services.places.stagingDir();
    m_job->start<ConversionOutcome>(
        [database, sources, previous, staging](JobControl &control) {
            return runNoteConversion(database, sources, previous, staging, control);
        },
        [this](ConversionOutcome outcome, const JobReport &report) {
            conversionFinished(std::move(outcome), report);
        });
}

void FrmNotesIpod::conversionProgress(const JobProgress &progress)
{
    // The bar steps once per document and starts again at 1 once it is full.
    if (progress.done < 1)
        return;
    PG3->setVisible(true);
    const qint64 span = std::max(1, PG3->maximum());
    PG3->setValue(static_cast<int>((progress.done - 1) % span + 1));
}

void FrmNotesIpod::conversionFinished(ConversionOutcome outcome, const JobReport &report)
{
    m_action = Action::None;
    m_notes->setRows(std::move(outcome.noteRows));
    if (!outcome.lastApplication.isEmpty()) {
        m_noteName = noteBaseName(stripfilename(outcome.lastApplication));
        showPreview(outcome.lastText);
    }
    reportNotDone(QStringLiteral("These notes could not be written:"), report);
    if (!report.status)
        return;
    PG3->setValue(outcome.notesFound == 0 ? 0 : 100);
    if (outcome.notesFound == 0 || !report.cancelled)
        m_services.messages->show(conversionMessage(outcome));
}

frmsplit *FrmNotesIpod::ensureSplitWindow()
{
    if (!m_split)
        m_split = new frmsplit(m_services, this);
    return m_split;
}

void FrmNotesIpod::viewNote(int row)
{
    if (row < 1 || row > m_notes->rowCount())
        return;
    const QString path = m_notes->row(row - 1).path;
    m_viewComplete = false;
    m_viewReads.read(path, NoteReadKind::Whole, [this](const NoteText &read) {
        m_viewComplete = read.whole;
        showView(read.text);
    });
    ensureSplitWindow()->setFilePath(QDir::toNativeSeparators(path));
}

void FrmNotesIpod::CmdCut_Click()
{
    // The pieces are named after the current note; without one there is nothing to name.
    const int current = GrdView->currentRowNumber();
    if (current < 1 || current > m_notes->rowCount() || m_job->isRunning())
        return;
    if (m_viewReads.isBusy()) {
        m_services.messages->show(QStringLiteral("The note is still being read."),
                                  MsgIcon::Information, MsgButtons::Ok, kTitle);
        return;
    }
    if (!m_viewComplete) {
        m_services.messages->show(
            QStringLiteral("This note is larger than %1 MB and cannot be cut here.")
                .arg(kMaxDocumentBytes >> 20),
            MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
        return;
    }
    const QString marked = insertSectionBreaks(m_viewText);
    const QStringList pieces = sectionPieces(marked);
    const bool many = pieces.size() > kPiecesShownOneByOne;
    // One message per piece is the way for a short note; a long one is asked about once.
    if (many && m_services.messages->show(
                    QStringLiteral("This note gives %1 pieces. Cut it?").arg(pieces.size()),
                    MsgIcon::Question, MsgButtons::YesNo, kTitle) != MsgAnswer::Yes)
        return;
    showView(marked);
    if (!many)
        for (const QString &piece : pieces)
            m_services.messages->show(piece);
    const QString noteName = m_notes->row(current - 1).application;
    const QString staging = m_services.places.stagingDir();
    m_action = Action::Cut;
    m_job->start<int>(
        [pieces, noteName, staging](JobControl &control) {
            return int(writeNotePieces(pieces, noteName, staging, control).size());
        },
        [this, noteName, staging, many, total = pieces.size()](int written,
                                                               const JobReport &report) {
            m_action = Action::None;
            reportNotDone(QStringLiteral("These notes could not be written:"), report);
            if (many)
                m_services.messages->show(
                    QStringLiteral("%1 of %2 pieces of %3 were written to %4.")
                        .arg(written)
                        .arg(total)
                        .arg(noteName, QDir::toNativeSeparators(staging)),
                    MsgIcon::Information, MsgButtons::Ok, kTitle);
        });
}

void FrmNotesIpod::CmdMerge_Click()
{
    if (m_job->isRunning())
        return;
    FileDialogOptions options;
    options.proposedName = QStringLiteral("Merged Files ");
    options.filter = QStringLiteral("*.rtf|Rich Text File");
    options.defaultSuffix = QStringLiteral("rtf");
    options.initialDir = m_services.places.userFilesDir();
    const QString chosen = m_services.dialogs->saveFile(options);
    // Without a name there is nothing to save under: the merge ends here.
    if (chosen.isEmpty())
        return;

    const QStringList notes = m_notes->paths();
    m_action = Action::Merge;
    const QString staging = m_services.places.stagingDir();
    m_job->start<MergeOutcome>(
        [notes, chosen, staging](JobControl &control) {
            return runNoteMerge(notes, chosen, staging, control);
        },
        [this, chosen](MergeOutcome outcome, const JobReport &report) {
            mergeFinished(std::move(outcome), chosen, report);
        });
}

void FrmNotesIpod::mergeFinished(MergeOutcome outcome, const QString &chosen,
                                 const JobReport &report)
{
    m_action = Action::None;
    if (!outcome.saved) {
        if (!report.status)
            m_services.messages->show(QStringLiteral("Merged Doc could not be created on ") +
                                          chosen + QStringLiteral("\n") + report.status.message(),
                                      MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
        return;
    }
    showView(outcome.text);
    reportNotDone(QStringLiteral("These notes could not be merged or written:"), report);
    m_services.messages->show(QStringLiteral("Merged Doc is created on ") + chosen);
}

void FrmNotesIpod::cmdSplit_Click()
{
    ensureSplitWindow()->exec();
}

void FrmNotesIpod::exportJournal(bool asHtml)
{
    const JournalKind kind = asHtml ? JournalKind::Html : JournalKind::Rtf;
    const QString folder = m_services.places.userFilesDir();
    // A journal that could not be written is not opened, and the user learns why.
    if (Status written = quenda::exportJournal(folder, kind, m_previewText); !written) {
        m_services.messages->show(QStringLiteral("The journal could not be written: ") +
                                      written.message(),
                                  MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
        return;
    }
    m_services.shell->openDocument(journalPath(folder, kind));
}

void FrmNotesIpod::SSCommand2_Click()
{
    const int row = GrdOffice->currentRowNumber();
    const QString path =
        row >= 1 && row <= m_documents->rowCount() ? m_documents->row(row - 1).path : QString();
    if (!path.isEmpty())
        m_services.shell->openDocument(path);
}

} // namespace quenda
