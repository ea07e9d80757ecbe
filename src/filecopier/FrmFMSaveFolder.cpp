#include "filecopier/FrmFMSaveFolder.h"

#include "jobs/job_widgets.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kCaption = QStringLiteral("Auto copy to folder");

QString joinedFolder(const QString &base)
{
    const QString root = QDir::fromNativeSeparators(base);
    return root.endsWith(QLatin1Char('/'))
               ? root + QLatin1String(kFileCopierFolder)
               : root + QLatin1Char('/') + QLatin1String(kFileCopierFolder);
}

} // namespace

void showCopyResult(Messages &messages, const QString &completion, MsgIcon completionIcon,
                    const OrganisedCopyOutcome &outcome, const JobReport &report,
                    const QString &title)
{
    if (report.cancelled) {
        messages.show(
            QStringLiteral("The copy was stopped; %1 files were copied.").arg(outcome.copied),
            MsgIcon::Exclamation, MsgButtons::Ok, title);
        return;
    }
    if (report.status.ok())
        messages.show(completion, completionIcon);
    const QString problems = copyProblemsText(report, outcome);
    if (!problems.isEmpty())
        messages.show(problems, MsgIcon::Exclamation, MsgButtons::Ok, title);
}

FrmFMSaveFolder::FrmFMSaveFolder(const Services &services, const QString &base,
                                 const QStringList &sources, QWidget *parent)
    : QDialog(parent), m_services(services), m_store(services.places.databasePath()), m_base(base),
      m_proposed(joinedFolder(base)), m_sources(sources)
{
    setObjectName(QStringLiteral("FrmFMSaveFolder"));
    setWindowTitle(kCaption);
    resize(560, 260);

    auto *layout = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    Label1 = new QLabel(kCaption, this);
    QFont titleFont = Label1->font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 3);
    Label1->setFont(titleFont);
    SSRibbon2 = new QLabel(QStringLiteral("?"), this);
    SSRibbon2->setFrameShape(QFrame::StyledPanel);
    SSRibbon2->setAlignment(Qt::AlignCenter);
    SSRibbon2->setFixedSize(24, 24);
    head->addWidget(Label1, 1);
    head->addWidget(SSRibbon2);
    layout->addLayout(head);
    Label2 = new QLabel(QStringLiteral("and automatically copy file to folder"), this);
    layout->addWidget(Label2);

    auto *grid = new QGridLayout;
    Label3 = new QLabel(QStringLiteral("Create folder as"), this);
    cboFolderWise = new QComboBox(this);
    cboFolderWise->addItems(folderSchemeNames());
    cboFolderWise->setCurrentIndex(-1);
    cboFolderWise->setPlaceholderText(QStringLiteral("Choose how to build the folders"));
    Label4 = new QLabel(QStringLiteral("Select Path"), this);
    BrowseFolder1 = new QLineEdit(QDir::toNativeSeparators(m_proposed), this);
    CmdBrowse = new QPushButton(QStringLiteral("..."), this);
    CmdBrowse->setFixedWidth(32);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(cboFolderWise, 0, 1, 1, 2);
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(BrowseFolder1, 1, 1);
    grid->addWidget(CmdBrowse, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    PG3 = new QProgressBar(this);
    PG3->setVisible(false);
    layout->addWidget(PG3);
    layout->addStretch();

    auto *buttons = new QHBoxLayout;
    SSCommand9 = new QPushButton(QStringLiteral("Create folder and copy file"), this);
    CmdClose = new QPushButton(QStringLiteral("Close"), this);
    buttons->addStretch();
    buttons->addWidget(SSCommand9);
    buttons->addWidget(CmdClose);
    layout->addLayout(buttons);

    const std::pair<QObject *, const char *> names[] = {
        {Label1, "Label1"},       {Label2, "Label2"},
        {Label3, "Label3"},       {cboFolderWise, "cboFolderWise"},
        {Label4, "Label4"},       {BrowseFolder1, "BrowseFolder1"},
        {CmdBrowse, "CmdBrowse"}, {SSCommand9, "SSCommand9"},
        {CmdClose, "CmdClose"},   {PG3, "PG3"},
        {SSRibbon2, "SSRibbon2"},
    };
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (QPushButton *button : {CmdBrowse, SSCommand9, CmdClose})
        button->setAutoDefault(false);

    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    bindProgressBar(m_job, PG3);
    disableWhileRunning(m_job, this, {SSCommand9, cboFolderWise, BrowseFolder1, CmdBrowse});

    connect(SSCommand9, &QPushButton::clicked, this, [this] { SSCommand9_Click(); });
    connect(CmdClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(CmdBrowse, &QPushButton::clicked, this, [this] {
        const QString folder =
            m_services.dialogs->chooseFolder(QStringLiteral("Select Path"), BrowseFolder1->text());
        if (!folder.isEmpty())
            BrowseFolder1->setText(QDir::toNativeSeparators(folder));
    });
    SSRibbon2->installEventFilter(this);
}

FrmFMSaveFolder::FrmFMSaveFolder(const Services &services, QWidget *parent)
    : FrmFMSaveFolder(services, services.places.desktopDir, QStringList(), parent)
{
    m_sources = m_store.tickedPaths();
}

bool FrmFMSaveFolder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == SSRibbon2 && event->type() == QEvent::Enter)
        showHelpText();
    return QDialog::eventFilter(watched, event);
}

void FrmFMSaveFolder::showHelpText()
{
    if (const std::optional<QString> text = m_store.helpText(QStringLiteral("UTL0038")))
        SSRibbon2->setToolTip(*text);
}

void FrmFMSaveFolder::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

void FrmFMSaveFolder::SSCommand9_Click()
{
    if (m_job->isRunning())
        return;
    const QString schemeName = cboFolderWise->currentText().trimmed();
    const QString chosen = BrowseFolder1->text().trimmed();
    if (schemeName.isEmpty() || chosen.isEmpty())
        return;
    const std::optional<FolderScheme> scheme = folderSchemeFromName(schemeName);
    if (!scheme)
        return;

    OrganisedCopyRequest request;
    request.sources = m_sources;
    request.destination = QDir::fromNativeSeparators(chosen);
    request.layout = CopyLayout::Scheme;
    request.scheme = *scheme;
    // The program's own "File Copier" folder starts empty; a folder the user picked keeps
    // what it holds.
    const QString freshBase =
        QDir::cleanPath(request.destination) == QDir::cleanPath(m_proposed) ? m_base : QString();
    const QString database = m_services.places.databasePath();
    const QString shown = QDir::toNativeSeparators(request.destination);
    m_job->start<OrganisedCopyOutcome>(
        [request, freshBase, database](JobControl &control) {
            return runSchemeFolderCopy(database, request, freshBase, control);
        },
        [this, shown](OrganisedCopyOutcome outcome, const JobReport &report) {
            showCopyResult(*m_services.messages,
                           QStringLiteral("File saved to folder ") + shown +
                               QStringLiteral(" is completed"),
                           MsgIcon::Information, outcome, report, kCaption);
            if (report.status.ok() && !report.cancelled)
                accept();
        });
}

} // namespace quenda
