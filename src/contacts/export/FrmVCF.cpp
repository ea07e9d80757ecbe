#include "contacts/export/FrmVCF.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "contacts/export/CardVersionBox.h"
#include "contacts/export/contact_list_model.h"
#include "contacts/export/vcard_writer.h"
#include "jobs/job_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kAll = QStringLiteral("All");

// Column 0 is the fixed column and column 1 the id; both stay hidden.
const QString kGridFormat = QStringLiteral(
    "||Category        |Sub                |Name                      |First              "
    "|Last           |Company                |Priority|H Web                        "
    "|W Web                      ");

} // namespace

FrmVCF::FrmVCF(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services), m_session(services.places.databasePath())
{
    setObjectName(QStringLiteral("FrmVCF"));
    setWindowTitle(QStringLiteral("Export Quenda Contact to VCF"));
    resize(860, 540);
    buildControls();
    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this,
                        {CmdSave, Menu->findChild<QAction *>(QStringLiteral("SaveasVCF"))});

    // Until the first filter, tab or F5 the grid shows the query's own columns.
    if (loadRows(m_session.contacts(ContactFilter{})))
        Grid1->setColumnWidth(0, 12);
    CmbCat->addItem(kAll);
    if (const Result<QStringList> categories = m_session.categories(); categories)
        CmbCat->addItems(*categories);
    else
        m_services.messages->show(
            QStringLiteral("The categories could not be read: %1").arg(categories.message()),
            MsgIcon::Critical);
    CmbPriority->addItems(
        {kAll, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    CmbPriority->setEditText(kAll);
    CmbCat->setEditText(kAll);
    CmbSub->setEditText(kAll);
}

FrmVCF::~FrmVCF() = default;

void FrmVCF::buildControls()
{
    auto *layout = new QVBoxLayout(this);

    SSActiveToolBars1 = new QToolBar(this);
    SSActiveToolBars1->setObjectName(QStringLiteral("SSActiveToolBars1"));
    Menu = new QMenu(QStringLiteral("Menu"), this);
    Menu->setObjectName(QStringLiteral("Menu"));
    QAction *saveAs = Menu->addAction(QStringLiteral("Save as VCF"));
    saveAs->setObjectName(QStringLiteral("SaveasVCF"));
    Menu->addSeparator();
    QAction *selectAll = Menu->addAction(QStringLiteral("Select All"));
    selectAll->setObjectName(QStringLiteral("SelectAll"));
    auto *menuButton = new QToolButton(this);
    menuButton->setText(QStringLiteral("Menu"));
    menuButton->setPopupMode(QToolButton::InstantPopup);
    menuButton->setMenu(Menu);
    SSActiveToolBars1->addWidget(menuButton);
    layout->addWidget(SSActiveToolBars1);

    Label1 = makeTitleLabel(QStringLiteral("Export Quenda Contact to VCF"), this);
    layout->addWidget(Label1);
    Label9 = new QLabel(
        QStringLiteral("This will generate VCF files  & save all contacts in VCF format to "
                       "your desktop.You may then transfer/copy those contacts to various "
                       "external device(Ipod,Phone,PDA,Palm)."),
        this);
    Label9->setWordWrap(true);
    layout->addWidget(Label9);

    auto *tabRow = new QHBoxLayout;
    Tab1 = new QTabBar(this);
    Tab1->addTab(kAll);
    Tab1->addTab(QStringLiteral("View Selected"));
    tabRow->addWidget(Tab1);
    CmdFilter = new QPushButton(QStringLiteral("Filter"), this);
    CmdFilter->setToolTip(QStringLiteral("Viewing Selected Records"));
    tabRow->addWidget(CmdFilter);
    tabRow->addStretch();
    Label2 = new QLabel(QStringLiteral("Double click to select "), this);
    tabRow->addWidget(Label2);
    layout->addLayout(tabRow);

    PnlFilter = new QFrame(this);
    PnlFilter->setFrameShape(QFrame::StyledPanel);
    auto *filterRow = new QHBoxLayout(PnlFilter);
    Label3 = new QLabel(QStringLiteral("Category"), PnlFilter);
    CmbCat = new QComboBox(PnlFilter);
    CmbSub = new QComboBox(PnlFilter);
    Label4 = new QLabel(QStringLiteral("Priority"), PnlFilter);
    CmbPriority = new QComboBox(PnlFilter);
    for (QComboBox *box : {CmbCat, CmbSub, CmbPriority}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumContentsLength(12);
    }
    filterRow->addWidget(Label3);
    filterRow->addWidget(CmbCat);
    filterRow->addWidget(CmbSub);
    filterRow->addSpacing(16);
    filterRow->addWidget(Label4);
    filterRow->addWidget(CmbPriority);
    filterRow->addStretch();
    layout->addWidget(PnlFilter);

    Grid1 = new QdGrid(this);
    m_contacts = new ContactListModel(this);
    Grid1->setModel(m_contacts);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setToolTip(QStringLiteral("Double click to select "));
    layout->addWidget(Grid1, 1);

    auto *bottom = new QHBoxLayout;
    ChkSelect = new QCheckBox(QStringLiteral("Select All"), this);
    bottom->addWidget(ChkSelect);
    bottom->addStretch();
    CmdHelps = new QPushButton(QStringLiteral("?"), this);
    CmbVersion = new CardVersionBox(m_session, m_services, this);
    CmdSave = new QPushButton(QStringLiteral("Send to Desktop"), this);
    CmdClose = new QPushButton(QStringLiteral("X"), this);
    CmdHelps->setAutoDefault(false);
    CmdSave->setAutoDefault(false);
    CmdClose->setAutoDefault(false);
    bottom->addWidget(CmdHelps);
    bottom->addWidget(CmbVersion);
    bottom->addWidget(CmdSave);
    bottom->addWidget(CmdClose);
    layout->addLayout(bottom);

    const auto names = {std::pair<QObject *, const char *>{Label1, "Label1"},
                        {Label9, "Label9"},
                        {Label2, "Label2"},
                        {Tab1, "Tab1"},
                        {PnlFilter, "PnlFilter"},
                        {Label3, "Label3"},
                        {Label4, "Label4"},
                        {CmbCat, "CmbCat"},
                        {CmbSub, "CmbSub"},
                        {CmbPriority, "CmbPriority"},
                        {CmdFilter, "CmdFilter"},
                        {ChkSelect, "ChkSelect"},
                        {CmbVersion, "CmbVersion"},
                        {CmdSave, "CmdSave"},
                        {CmdClose, "CmdClose"},
                        {CmdHelps, "CmdHelps"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));

    connect(CmbCat, &QComboBox::activated, this, [this] { categoryChosen(); });
    connect(CmbSub, &QComboBox::activated, this, [this] { filter(); });
    connect(CmbPriority, &QComboBox::activated, this, [this] { filter(); });
    connect(CmdFilter, &QPushButton::clicked, this,
            [this] { PnlFilter->setVisible(!PnlFilter->isVisible()); });
    connect(Grid1, &QdGrid::rowDoubleClicked, this,
            [this](int row) { m_contacts->toggleMark(row - 1); });
    connect(Grid1, &QdGrid::rowPressed, this,
            [this](int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
                if (button == Qt::LeftButton && (modifiers & Qt::ControlModifier) && row >= 1)
                    m_contacts->toggleMark(row - 1);
                else if (button == Qt::RightButton)
                    Menu->popup(QCursor::pos());
            });
    connect(ChkSelect, &QCheckBox::toggled, this,
            [this](bool checked) { m_contacts->setAllMarked(checked); });
    connect(selectAll, &QAction::triggered, this, [this] {
        ChkSelect->setChecked(true);
        m_contacts->setAllMarked(true);
    });
    connect(saveAs, &QAction::triggered, this, [this] { exportMarked(); });
    connect(CmdSave, &QPushButton::clicked, this, [this] { exportMarked(); });
    connect(CmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(Tab1, &QTabBar::currentChanged, this, [this](int index) { tabChosen(index); });

    // Ctrl+A, Ctrl+Q and F5 act wherever the focus is, before any control takes the key.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

bool FrmVCF::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == CmdHelps && event->type() == QEvent::Enter) {
        CmdHelps->setToolTip(m_session.helpText(QStringLiteral("LS0027")));
    }
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const bool ctrl = key->modifiers() & Qt::ControlModifier;
        const bool ours = (ctrl && (key->key() == Qt::Key_A || key->key() == Qt::Key_Q)) ||
                          key->key() == Qt::Key_F5;
        if (ours && event->type() == QEvent::ShortcutOverride) {
            event->accept(); // keep application shortcuts from taking the key first
            return true;
        }
        if (ours)
            return handleKey(key);
    }
    return QDialog::eventFilter(watched, event);
}

bool FrmVCF::handleKey(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F5)
        showAll();
    else
        markAll();
    return true;
}

void FrmVCF::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

bool FrmVCF::loadRows(Result<std::vector<ContactListRow>> rows)
{
    if (!rows) {
        m_services.messages->show(
            QStringLiteral("The contact list could not be read: %1").arg(rows.message()),
            MsgIcon::Critical);
        return false;
    }
    m_contacts->setRows(std::move(*rows));
    return true;
}

void FrmVCF::applyGridLayout()
{
    Grid1->setColHidden(0, true);
    Grid1->setColHidden(ContactListModel::kIdColumn, true);
    Grid1->setFormatString(kGridFormat);
}

void FrmVCF::categoryChosen()
{
    const QString category = CmbCat->currentText();
    CmbSub->clear();
    CmbSub->addItem(kAll);
    if (const Result<QStringList> subs = m_session.subCategories(category); subs)
        CmbSub->addItems(*subs);
    else
        m_services.messages->show(
            QStringLiteral("The sub-categories could not be read: %1").arg(subs.message()),
            MsgIcon::Critical);
    CmbSub->setEditText(kAll);
    filter();
}

void FrmVCF::filter()
{
    loadRows(m_session.contacts(
        ContactFilter{CmbCat->currentText(), CmbSub->currentText(), CmbPriority->currentText()}));
    applyGridLayout();
}

void FrmVCF::showAll()
{
    loadRows(m_session.contacts(ContactFilter{}));
    applyGridLayout();
    Grid1->setGridTextColor(palette().color(QPalette::WindowText));
    CmdFilter->setVisible(true);
    ChkSelect->setVisible(true);
    ChkSelect->setChecked(false);
}

void FrmVCF::tabChosen(int index)
{
    if (index == 0)
        showAll();
    else
        viewSelected();
}

void FrmVCF::viewSelected()
{
    const QList<qint64> ids = m_contacts->markedIds();
    if (ids.isEmpty()) {
        m_services.messages->show(QStringLiteral("Record not selected"));
        {
            const QSignalBlocker blocker(Tab1);
            Tab1->setCurrentIndex(0);
        }
        for (QComboBox *box : {CmbCat, CmbSub, CmbPriority})
            box->setEditText(kAll);
        showAll();
        return;
    }
    PnlFilter->setVisible(false);
    CmdFilter->setVisible(false);
    ChkSelect->setVisible(false);
    Grid1->setGridTextColor(Qt::white);
    if (loadRows(m_session.contactsByIds(ids)))
        m_contacts->setAllMarked(true);
    applyGridLayout();
}

void FrmVCF::markAll()
{
    m_contacts->setAllMarked(true);
}

void FrmVCF::exportMarked()
{
    if (m_job->isRunning())
        return;
    QStringList idLists;
    for (qint64 id : m_contacts->markedIds())
        idLists.append(QString::number(id) + QLatin1Char(','));
    const QString database = m_services.places.databasePath();
    const QString folder = m_services.places.stagingDir();
    const CardVersion version = CmbVersion->version();
    m_job->start<int>(
        [database, idLists, folder, version](JobControl &control) {
            return runCardExport(database, idLists, folder, control, version);
        },
        [this](int, const JobReport &report) {
            m_services.messages->show(QStringLiteral("VCF File Saved to Desktop\\Ipod"));
            if (const QString failures = cardFailureMessage(report); !failures.isEmpty())
                m_services.messages->show(failures, MsgIcon::Exclamation);
        });
}

} // namespace quenda
