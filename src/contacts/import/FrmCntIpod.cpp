#include "contacts/import/FrmCntIpod.h"

#include "common/QdGrid.h"
#include "common/busy_cursor.h"
#include "common/event_pacer.h"
#include "contacts/export/contact_send.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quenda {

namespace {
constexpr int kNameColumn = 1;
}

FrmCntIpod::FrmCntIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_connection(services.places.databasePath())
{
    setObjectName(QStringLiteral("FrmCntIpod"));
    setWindowTitle(QStringLiteral("Import Contacts  from other database to Ipod Folder "));
    resize(760, 520);
    buildControls();
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

void FrmCntIpod::loadSendList()
{
    QSqlQuery query(m_connection.db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("Select Name from cnt_main"))) {
        GridIpod->clearRows();
        m_services.messages->show(
            QStringLiteral("The contact names could not be read: %1")
                .arg(m_connection.isOpen() ? query.lastError().text() : m_connection.error()),
            MsgIcon::Critical);
        return;
    }
    GridIpod->loadQuery(query, 1, false);
    GridIpod->setFormatString(QStringLiteral("|Name") + QString(46, QLatin1Char(' ')));
    GridIpod->setColWidthTwips(0, 0);
}

void FrmCntIpod::sendToDesktop()
{
    // The names are copied first: events let through while writing may reload the grid.
    QStringList names;
    names.reserve(GridIpod->dataRows());
    for (int row = 1; row <= GridIpod->dataRows(); ++row)
        names.append(GridIpod->text(row, kNameColumn));
    const QString folder = m_services.places.stagingDir();
    CmdIpod->setEnabled(false);
    CardResult result;
    {
        const BusyCursor busy;
        EventPacer pacer;
        result = sendContacts(m_connection.db(), names, folder, [&pacer](int) { pacer.pump(); });
    }
    m_services.messages->show(QStringLiteral("File Saved to ") + QDir::toNativeSeparators(folder));
    if (result.hasProblems())
        m_services.messages->show(cardFailureMessage(result), MsgIcon::Exclamation);
    CmdIpod->setEnabled(true);
}

} // namespace quenda
