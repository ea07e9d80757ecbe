#include "pictures/FrmPhIpod.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "jobs/failure_text.h"
#include "jobs/job_widgets.h"
#include "pictures/picture_folder_model.h"
#include "pictures/picture_names.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kTitle = QStringLiteral("Picture Send to Ipod");
const QString kGridFormat =
    QStringLiteral("Drive|Sub Folder|Sub Folder|Sub Folder|Sub Folder|Destination");
constexpr int kDestinationCol = PictureFolderModel::kDestinationCol;

QColor destinationBack()
{
    return QColor(207, 191, 165);
}

// The destination column stands out in its own colour, so the user reads where each folder
// goes at a glance.
class DestinationDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->backgroundBrush = destinationBack();
    }
};

// Long paths must not widen the window: the label takes the room it is given.
QLabel *pathLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

FrmPhIpod::FrmPhIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_store(services.places.databasePath())
{
    setObjectName(QStringLiteral("FrmPhIpod"));
    setWindowTitle(kTitle);
    resize(760, 520);
    buildControls();
    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this, {Folder1, CmdBrowse, CmdCopy});
    connect(m_job, &JobRunner::progressChanged, this, [this](const JobProgress &p) {
        if (m_action == Action::Scan)
            setBarProgress(PB, p);
        else if (m_action == Action::Send)
            showSendProgress(p);
    });
    loadTable();
}

FrmPhIpod::~FrmPhIpod() = default;

void FrmPhIpod::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    Label1 = makeTitleLabel(kTitle, this);
    layout->addWidget(Label1);
    // A label without a buddy shows "&" as it stands.
    Label2 = new QLabel(
        QStringLiteral(
            "This will export & merge sub-folder to parent folder. You may then use this parent "
            "folder  containing all your sub-folder in one level to export your pictures to "
            "ipod. This overcomes the problem of ipod not being able  to export subfolder photo "
            "files. "),
        this);
    Label2->setWordWrap(true);
    layout->addWidget(Label2);

    auto *folderRow = new QHBoxLayout;
    Label3 = new QLabel(QStringLiteral("Select Folder"), this);
    Folder1 = new QLineEdit(this);
    CmdBrowse = new QToolButton(this);
    CmdBrowse->setText(QStringLiteral("..."));
    CmdHelps = new QPushButton(QStringLiteral("?"), this);
    CmdHelps->setToolTip(QStringLiteral("This will select source folder"));
    CmdHelps->setFixedWidth(32);
    folderRow->addWidget(Label3);
    folderRow->addWidget(Folder1, 1);
    folderRow->addWidget(CmdBrowse);
    folderRow->addWidget(CmdHelps);
    layout->addLayout(folderRow);

    FG1 = new QdGrid(this);
    m_folders = new PictureFolderModel(this);
    FG1->setModel(m_folders);
    FG1->setItemDelegateForColumn(kDestinationCol, new DestinationDelegate(FG1));
    // Destination names are the longest texts; they take the room the window has to spare.
    FG1->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(FG1, 1);
    PB = new QProgressBar(this);
    PB->setVisible(false);
    layout->addWidget(PB);

    auto *labels = new QGridLayout;
    Label4 = new QLabel(QStringLiteral("Source Folder"), this);
    LblTest = pathLabel(this);
    Label5 = new QLabel(QStringLiteral("Destination Folder"), this);
    LblDest = pathLabel(this);
    labels->addWidget(Label4, 0, 0);
    labels->addWidget(LblTest, 0, 1);
    labels->addWidget(Label5, 1, 0);
    labels->addWidget(LblDest, 1, 1);
    labels->setColumnStretch(1, 1);
    layout->addLayout(labels);

    auto *buttons = new QHBoxLayout;
    Label6 = new QLabel(QStringLiteral("Destination Folder----Desktop\\Ipod"), this);
    CmdCopy = new QPushButton(QStringLiteral("Send to Desktop"), this);
    CmdClose = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(Label6, 1);
    buttons->addWidget(CmdCopy);
    buttons->addWidget(CmdClose);
    layout->addLayout(buttons);

    const auto names = {std::pair<QObject *, const char *>{Label1, "Label1"},
                        {Label2, "Label2"},
                        {Label3, "Label3"},
                        {Folder1, "Folder1"},
                        {CmdBrowse, "CmdBrowse"},
                        {CmdHelps, "CmdHelps"},
                        {FG1, "FG1"},
                        {PB, "PB"},
                        {Label4, "Label4"},
                        {LblTest, "LblTest"},
                        {Label5, "Label5"},
                        {LblDest, "LblDest"},
                        {Label6, "Label6"},
                        {CmdCopy, "CmdCopy"},
                        {CmdClose, "CmdClose"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    connect(CmdBrowse, &QToolButton::clicked, this, [this] { chooseFolder(); });
    connect(Folder1, &QLineEdit::returnPressed, this, [this] { Folder1_Change(); });
    connect(CmdHelps, &QPushButton::clicked, this, [this] {
        QToolTip::showText(CmdHelps->mapToGlobal(CmdHelps->rect().bottomLeft()),
                           CmdHelps->toolTip(), CmdHelps);
    });
    connect(CmdCopy, &QPushButton::clicked, this, [this] { CmdCopy_Click(); });
    connect(CmdClose, &QPushButton::clicked, this, [this] { close(); });
}

void FrmPhIpod::layoutGrid()
{
    FG1->setFormatString(kGridFormat);
    for (int col = 0; col <= kDestinationCol; ++col)
        FG1->setColWidthTwips(col, col == 0 ? 2400 : 1500);
}

void FrmPhIpod::loadTable()
{
    Result<std::vector<PictureFolderRow>> rows = m_store.rows();
    if (!rows) {
        m_services.messages->show(
            QStringLiteral("The picture folders cannot be read: %1").arg(rows.message()),
            MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
        rows = std::vector<PictureFolderRow>();
    }
    m_rows = std::move(*rows);
    if (!m_rows.empty()) {
        m_rootName = rootNameOf(m_rows.front().folderPath);
        // The chooser shows which folder the table holds; only a new choice scans again.
        if (Folder1->text().isEmpty())
            Folder1->setText(QDir::toNativeSeparators(m_rows.front().folderPath));
    }
    m_folders->setFolders(m_rows, m_rootName);
    layoutGrid();
}

void FrmPhIpod::chooseFolder()
{
    const QString start = Folder1->text().isEmpty() ? m_services.places.homeDir : Folder1->text();
    const QString folder = m_services.dialogs->chooseFolder(QStringLiteral("Select Folder"), start);
    if (folder.isEmpty())
        return;
    Folder1->setText(QDir::toNativeSeparators(folder));
    Folder1_Change();
}

void FrmPhIpod::Folder1_Change()
{
    if (m_job->isRunning())
        return;
    const QString folder = QDir::fromNativeSeparators(Folder1->text().trimmed());
    if (folder.isEmpty())
        return;
    PB->setRange(0, 0);
    PB->setVisible(true);
    m_action = Action::Scan;
    const QString database = m_services.places.databasePath();
    m_job->start<PictureScanOutcome>(
        [database, folder](JobControl &control) {
            return runPictureScan(database, folder, control);
        },
        [this](PictureScanOutcome outcome, const JobReport &report) {
            scanFinished(outcome, report);
        });
}

void FrmPhIpod::scanFinished(const PictureScanOutcome &, const JobReport &report)
{
    m_action = Action::None;
    PB->setVisible(false);
    loadTable();
    if (!report.status)
        m_services.messages->show(report.status.message(), MsgIcon::Exclamation, MsgButtons::Ok,
                                  kTitle);
    if (!report.failures.empty())
        m_services.messages->show(QStringLiteral("These folders could not be read or recorded:\n") +
                                      failureListText(report.failures),
                                  MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
}

void FrmPhIpod::CmdCopy_Click()
{
    if (m_job->isRunning())
        return;
    PB->setRange(0, std::max<int>(1, static_cast<int>(m_rows.size())));
    PB->setValue(0);
    PB->setVisible(true);
    m_action = Action::Send;
    const QString staging = m_services.places.stagingDir();
    m_job->start<PictureSendOutcome>(
        [rows = m_rows, staging](JobControl &control) {
            return sendPictureFolders(rows, staging, control);
        },
        [this](PictureSendOutcome outcome, const JobReport &report) {
            sendFinished(outcome, report);
        });
}

void FrmPhIpod::showSendProgress(const JobProgress &progress)
{
    const qint64 row = progress.part;
    if (row >= 0 && row < static_cast<qint64>(m_rows.size())) {
        LblTest->setText(QDir::toNativeSeparators(sourcePathOf(m_rows[static_cast<size_t>(row)])));
        LblDest->setText(m_folders->row(static_cast<int>(row)).destination);
    }
    PB->setValue(static_cast<int>(std::min<qint64>(PB->maximum(), progress.partsDone)));
}

void FrmPhIpod::sendFinished(const PictureSendOutcome &outcome, const JobReport &report)
{
    showSendProgress(m_job->progress());
    m_action = Action::None;
    PB->setVisible(false);
    if (!report.status) {
        m_services.messages->show(report.status.message(), MsgIcon::Exclamation, MsgButtons::Ok,
                                  kTitle);
        return;
    }
    if (outcome.cancelled) {
        m_services.messages->show(sendCancelledMessage(outcome), MsgIcon::Information,
                                  MsgButtons::Ok, kTitle);
        return;
    }
    m_services.messages->show(QString::fromLatin1(kSendDoneMessage));
    if (!outcome.complete())
        m_services.messages->show(notCopiedMessage(outcome), MsgIcon::Exclamation, MsgButtons::Ok,
                                  kTitle);
}

void FrmPhIpod::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

} // namespace quenda
