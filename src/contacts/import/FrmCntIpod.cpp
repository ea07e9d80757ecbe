#include "contacts/import/FrmCntIpod.h"

#include "common/QdGrid.h"
#include "contacts/export/contact_send.h"
#include "contacts/export/vcard_writer.h"
#include "db/contacts.h"
#include "jobs/job_widgets.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quenda {

namespace {
constexpr int kNameColumn = 1;
}

FrmCntIpod::FrmCntIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services),
      m_connection(services.places.databasePath(), BusyWait::Short)
{
    setObjectName(QStringLiteral("FrmCntIpod"));
    setWindowTitle(QStringLiteral("Import Contacts  from other database to Ipod Folder "));
    resize(760, 520);
    buildControls();
    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this, {CmdIpod});
}

FrmCntIpod::~FrmCntIpod() = default;

void FrmCntIpod::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    LblHeading =
        new QLabel(QStringLiteral("Import Contacts  from other database to Ipod Folder "), this);
    LblHeading->setObjectName(QStringLiteral("LblHeading"));
    QFont headingFont = LblHeading->font();
    headingFont.setBold(true);
    headingFont.setPointSize(headingFont.pointSize() + 4);
    LblHeading->setFont(headingFont);
    layout->addWidget(LblHeading);

    SSActiveTabs1 = new QTabWidget(this);
    SSActiveTabs1->setObjectName(QStringLiteral("SSActiveTabs1"));
    const std::pair<QWidget **, const char *> tabs[] = {
        {&FraSelectFile, "Step 1-Select File"}, {&FraSetFields, "Step 2-Set Fields"},
        {&FraOtherFields, "Other Fields"},      {&FraSelectedFields, "Step 3-Selected Fields"},
        {&FraPreview, "Step 4-Preview"},        {&FraSendIpod, "Send Ipod"}};
    for (const auto &[frame, caption] : tabs) {
        *frame = new QWidget(SSActiveTabs1);
        SSActiveTabs1->addTab(*frame, QString::fromLatin1(caption));
    }
    layout->addWidget(SSActiveTabs1, 1);

    auto *sendLayout = new QVBoxLayout(FraSendIpod);
    GridIpod = new QdGrid(FraSendIpod);
    GridIpod->setObjectName(QStringLiteral("GridIpod"));
    sendLayout->addWidget(GridIpod, 1);
    auto *sendRow = new QHBoxLayout;
    sendRow->addStretch();
    CmdIpod = new QPushButton(QStringLiteral("Send to Desktop"), FraSendIpod);
    CmdIpod->setObjectName(QStringLiteral("CmdIpod"));
    CmdIpod->setAutoDefault(false);
    sendRow->addWidget(CmdIpod);
    sendLayout->addLayout(sendRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    CmdImport = new QPushButton(QStringLiteral("Import New Data in Quenda Contacts"), this);
    CmdImport->setObjectName(QStringLiteral("CmdImport"));
    CmdImport->setAutoDefault(false);
    // Only the preview tab shows the import button; the window opens on the first tab.
    CmdImport->setVisible(false);
    buttons->addWidget(CmdImport);
    layout->addLayout(buttons);

    connect(SSActiveTabs1, &QTabWidget::currentChanged, this,
            [this](int index) { tabChosen(index); });
    connect(CmdIpod, &QPushButton::clicked, this, [this] { sendToDesktop(); });
}

void FrmCntIpod::tabChosen(int index)
{
    if (index != kSendIpodTab)
        return;
    loadSendList();
    CmdImport->setVisible(false);
}

void FrmCntIpod::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

void FrmCntIpod::loadSendList()
{
    Result<QStringList> names = m_connection.isOpen()
                                    ? contactNames(m_connection.db())
                                    : Result<QStringList>(m_connection.status().error());
    if (!names) {
        GridIpod->clearRows();
        m_services.messages->show(
            QStringLiteral("The contact names could not be read: %1").arg(names.message()),
            MsgIcon::Critical);
        return;
    }
    std::vector<QStringList> rows;
    rows.reserve(names->size());
    for (const QString &name : std::as_const(*names))
        rows.push_back({QString(), name});
    GridIpod->setRowsData(std::move(rows));
    GridIpod->setFormatString(QStringLiteral("|Name") + QString(46, QLatin1Char(' ')));
    GridIpod->setColWidthTwips(0, 0);
}

void FrmCntIpod::sendToDesktop()
{
    if (m_job->isRunning())
        return;
    QStringList names;
    names.reserve(GridIpod->dataRows());
    for (int row = 1; row <= GridIpod->dataRows(); ++row)
        names.append(GridIpod->text(row, kNameColumn));
    const QString database = m_services.places.databasePath();
    const QString folder = m_services.places.stagingDir();
    m_job->start<int>(
        [database, names, folder](JobControl &control) {
            return runContactSend(database, names, folder, control);
        },
        [this, folder](int, const JobReport &report) {
            m_services.messages->show(QStringLiteral("File Saved to ") +
                                      QDir::toNativeSeparators(folder));
            if (const QString failures = cardFailureMessage(report); !failures.isEmpty())
                m_services.messages->show(failures, MsgIcon::Exclamation);
        });
}

} // namespace quenda
