// The contact window's controls: built, named and connected here; what they do is in
// FrmCntIpod.cpp.
#include "contacts/import/FrmCntIpod.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "contacts/export/CardVersionBox.h"
#include "contacts/export/contact_list_model.h"
#include "contacts/import/import_models.h"
#include "formats/table_sources.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quenda {

namespace {

constexpr int kGroupCol = MappingModel::GroupCol;
constexpr int kColumnCol = MappingModel::ColumnCol;
constexpr int kFieldCol = MappingModel::FieldCol;
constexpr int kIncludeCol = MappingModel::IncludeCol;

const QString kMappingFormat = QStringLiteral("       |Contacts Field Type |Contacts Field "
                                              "Name|Contacts Field Name |External Field Name|   ");
const QString kOtherFormat = QStringLiteral("       |Contacts Field Type |Contacts Field "
                                            "Name|Contacts Field Name |External Field Name|    ");

struct CodePageChoice {
    int page;
    const char *caption;
};

const CodePageChoice kCodePages[] = {
    {0, "Automatic"},
    {1252, "1252 Windows Latin 1"},
    {850, "850 DOS Latin 1"},
    {437, "437 DOS United States"},
    {1250, "1250 Windows Central European"},
    {852, "852 DOS Central European"},
    {1251, "1251 Windows Cyrillic"},
    {866, "866 DOS Cyrillic"},
    {65001, "65001 UTF-8"},
};

// The source's field names as an editable drop-down in the cell being edited; an emptied cell
// clears the mapping of its row.
class FieldChoiceDelegate : public QStyledItemDelegate {
public:
    FieldChoiceDelegate(const QStringList *choices, QObject *parent)
        : QStyledItemDelegate(parent), m_choices(choices)
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &) const override
    {
        auto *box = new QComboBox(parent);
        box->setObjectName(QStringLiteral("FieldChoice"));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItem(QString());
        box->addItems(*m_choices);
        auto *self = const_cast<FieldChoiceDelegate *>(this);
        connect(box, &QComboBox::activated, self, [self, box] { Q_EMIT self->commitData(box); });
        return box;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        static_cast<QComboBox *>(editor)->setCurrentText(index.data(Qt::EditRole).toString());
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        model->setData(index, static_cast<QComboBox *>(editor)->currentText(), Qt::EditRole);
    }

private:
    const QStringList *m_choices;
};

} // namespace

void FrmCntIpod::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    LblHeading = makeTitleLabel(
        QStringLiteral("Import Contacts  from other database to Ipod Folder "), this);
    LblHeading->setObjectName(QStringLiteral("LblHeading"));
    layout->addWidget(LblHeading);

    SSActiveTabs1 = new QTabWidget(this);
    SSActiveTabs1->setObjectName(QStringLiteral("SSActiveTabs1"));
    FraSelectFile = buildSelectFileTab();
    FraSetFields = buildSetFieldsTab();

    FraOtherFields = new QWidget(SSActiveTabs1);
    auto *otherLayout = new QVBoxLayout(FraOtherFields);
    Label6 = new QLabel(QStringLiteral("Field Mapping Other Fields"), FraOtherFields);
    Grid2 = new QdGrid(FraOtherFields);
    otherLayout->addWidget(Label6);
    otherLayout->addWidget(Grid2, 1);

    FraSelectedFields = new QWidget(SSActiveTabs1);
    auto *selectedLayout = new QVBoxLayout(FraSelectedFields);
    Label7 = new QLabel(QStringLiteral("Selected Fields"), FraSelectedFields);
    Grid4 = new QdGrid(FraSelectedFields);
    selectedLayout->addWidget(Label7);
    selectedLayout->addWidget(Grid4, 1);

    FraPreview = new QWidget(SSActiveTabs1);
    auto *previewLayout = new QVBoxLayout(FraPreview);
    auto *options = new QHBoxLayout;
    Option1 = new QRadioButton(QStringLiteral("View New Records to import"), FraPreview);
    Option3 = new QRadioButton(QStringLiteral("View Existing Quenda Contacts"), FraPreview);
    options->addWidget(Option1);
    options->addWidget(Option3);
    options->addStretch();
    previewLayout->addLayout(options);
    Grid3 = new QdGrid(FraPreview);
    m_records = new PreviewModel(this);
    Grid3->setModel(m_records);
    previewLayout->addWidget(Grid3, 1);
    // A long source shows its first rows only; this says how many the import will read.
    LblPreviewRows = new QLabel(FraPreview);
    previewLayout->addWidget(LblPreviewRows);

    FraSendIpod = new QWidget(SSActiveTabs1);
    auto *sendLayout = new QVBoxLayout(FraSendIpod);
    GridIpod = new QdGrid(FraSendIpod);
    m_names = new ContactNameModel(this);
    GridIpod->setModel(m_names);
    sendLayout->addWidget(GridIpod, 1);
    auto *sendRow = new QHBoxLayout;
    sendRow->addStretch();
    CmbIpodVersion = new CardVersionBox(m_session, m_services, FraSendIpod);
    CmbIpodVersion->setObjectName(QStringLiteral("CmbIpodVersion"));
    sendRow->addWidget(CmbIpodVersion);
    CmdIpod = new QPushButton(QStringLiteral("Send to Desktop"), FraSendIpod);
    sendRow->addWidget(CmdIpod);
    sendLayout->addLayout(sendRow);

    const std::pair<QWidget *, const char *> tabs[] = {
        {FraSelectFile, "Step 1-Select File"}, {FraSetFields, "Step 2-Set Fields"},
        {FraOtherFields, "Other Fields"},      {FraSelectedFields, "Step 3-Selected Fields"},
        {FraPreview, "Step 4-Preview"},        {FraSendIpod, "Send Ipod"}};
    for (const auto &[frame, caption] : tabs)
        SSActiveTabs1->addTab(frame, QString::fromLatin1(caption));

    // The source's fields stay in sight beside the mapping tabs.
    Frame2 = new QFrame(this);
    Frame2->setFrameShape(QFrame::StyledPanel);
    auto *frameLayout = new QVBoxLayout(Frame2);
    Label3 = new QLabel(QStringLiteral("User File Fields"), Frame2);
    List2 = new QListWidget(Frame2);
    frameLayout->addWidget(Label3);
    frameLayout->addWidget(List2, 1);
    Frame2->setFixedWidth(190);

    auto *middle = new QHBoxLayout;
    middle->addWidget(SSActiveTabs1, 1);
    middle->addWidget(Frame2);
    layout->addLayout(middle, 1);

    auto *buttons = new QHBoxLayout;
    CmdHelps = new QPushButton(QStringLiteral("?"), this);
    buttons->addWidget(CmdHelps);
    buttons->addStretch();
    CmdBck = new QPushButton(QStringLiteral("< Back"), this);
    cmdNext = new QPushButton(QStringLiteral("Next >"), this);
    CmdImport = new QPushButton(QStringLiteral("Import New Data in Quenda Contacts"), this);
    SSCommand1 = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton *b : {CmdBck, cmdNext, CmdImport, SSCommand1})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    const std::pair<QObject *, const char *> names[] = {
        {Label6, "Label6"},       {Grid2, "Grid2"},
        {Label7, "Label7"},       {Grid4, "Grid4"},
        {Option1, "Option1"},     {Option3, "Option3"},
        {Grid3, "Grid3"},         {LblPreviewRows, "LblPreviewRows"},
        {GridIpod, "GridIpod"},   {CmdIpod, "CmdIpod"},
        {Frame2, "Frame2"},       {Label3, "Label3"},
        {List2, "List2"},         {CmdHelps, "CmdHelps"},
        {CmdBck, "CmdBck"},       {cmdNext, "cmdNext"},
        {CmdImport, "CmdImport"}, {SSCommand1, "SSCommand1"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);

    connect(SSActiveTabs1, &QTabWidget::currentChanged, this,
            [this](int index) { tabChosen(index); });
    connect(CmdBck, &QPushButton::clicked, this, [this] { step(-1); });
    connect(cmdNext, &QPushButton::clicked, this, [this] { step(1); });
    connect(CmdImport, &QPushButton::clicked, this, [this] { importContacts(); });
    connect(SSCommand1, &QPushButton::clicked, this, &QDialog::reject);
    connect(CmdIpod, &QPushButton::clicked, this, [this] { sendToDesktop(); });
    connect(Option1, &QRadioButton::clicked, this, [this] { previewSource(); });
    connect(Option3, &QRadioButton::clicked, this, [this] { previewExisting(); });
    CmdHelps->installEventFilter(this);
}

QWidget *FrmCntIpod::buildSelectFileTab()
{
    auto *tab = new QWidget(SSActiveTabs1);
    auto *layout = new QGridLayout(tab);
    Label4 = new QLabel(QStringLiteral("Select Database To Import"), tab);
    QFont bold = Label4->font();
    bold.setBold(true);
    Label4->setFont(bold);
    Label1 = new QLabel(QStringLiteral("Database Type"), tab);
    Combo1 = new QComboBox(tab);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems(tableSourceKinds());
    Combo1->setCurrentText(QStringLiteral("Text;"));
    Label2 = new QLabel(QStringLiteral("Database Location"), tab);
    txtflnm = new QLineEdit(tab);
    txtflnm->setReadOnly(true);
    Cmdsel = new QPushButton(QStringLiteral("Browse..."), tab);
    LblCodePage = new QLabel(QStringLiteral("Code Page"), tab);
    cboCodePage = new QComboBox(tab);
    for (const CodePageChoice &choice : kCodePages)
        cboCodePage->addItem(QString::fromLatin1(choice.caption), choice.page);
    List1 = new QListWidget(tab);
    List1->setVisible(false);
    lbltable = new QLabel(QStringLiteral("Select Table "), tab);

    layout->addWidget(Label4, 0, 0, 1, 3);
    layout->addWidget(Label1, 1, 0);
    layout->addWidget(Combo1, 1, 1);
    layout->addWidget(Label2, 2, 0);
    layout->addWidget(txtflnm, 2, 1);
    layout->addWidget(Cmdsel, 2, 2);
    layout->addWidget(LblCodePage, 3, 0);
    layout->addWidget(cboCodePage, 3, 1);
    layout->addWidget(lbltable, 4, 0, 1, 3);
    layout->addWidget(List1, 5, 0, 1, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(5, 1);

    const std::pair<QObject *, const char *> names[] = {
        {Label4, "Label4"},           {Label1, "Label1"},           {Combo1, "Combo1"},
        {Label2, "Label2"},           {txtflnm, "txtflnm"},         {Cmdsel, "Cmdsel"},
        {LblCodePage, "LblCodePage"}, {cboCodePage, "cboCodePage"}, {List1, "List1"},
        {lbltable, "lbltable"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));

    connect(Combo1, &QComboBox::currentTextChanged, this, [this] { kindChanged(); });
    connect(Cmdsel, &QPushButton::clicked, this, [this] { chooseFile(); });
    connect(List1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            openTable();
    });
    connect(cboCodePage, &QComboBox::activated, this, [this] { codePageChanged(); });
    return tab;
}

QWidget *FrmCntIpod::buildSetFieldsTab()
{
    auto *tab = new QWidget(SSActiveTabs1);
    auto *layout = new QVBoxLayout(tab);
    auto *schemes = new QHBoxLayout;
    Label10 = new QLabel(QStringLiteral("Recall Scheme"), tab);
    cboScheme = new QComboBox(tab);
    cboScheme->setMinimumContentsLength(14);
    Label11 = new QLabel(QStringLiteral("Save Scheme as"), tab);
    cboScheme1 = new QComboBox(tab);
    cboScheme1->setEditable(true);
    cboScheme1->setInsertPolicy(QComboBox::NoInsert);
    cboScheme1->setMinimumContentsLength(14);
    SSCommand2 = new QPushButton(QStringLiteral("Save"), tab);
    schemes->addWidget(Label10);
    schemes->addWidget(cboScheme);
    schemes->addSpacing(16);
    schemes->addWidget(Label11);
    schemes->addWidget(cboScheme1);
    schemes->addWidget(SSCommand2);
    schemes->addStretch();
    Label5 = new QLabel(QStringLiteral("Field Mapping - Important Fields"), tab);
    Grid1 = new QdGrid(tab);
    layout->addLayout(schemes);
    layout->addWidget(Label5);
    layout->addWidget(Grid1, 1);

    const std::pair<QObject *, const char *> names[] = {{Label10, "Label10"},
                                                        {cboScheme, "cboScheme"},
                                                        {Label11, "Label11"},
                                                        {cboScheme1, "cboScheme1"},
                                                        {SSCommand2, "SSCommand2"},
                                                        {Label5, "Label5"},
                                                        {Grid1, "Grid1"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));

    connect(cboScheme, &QComboBox::activated, this, [this] { recallScheme(); });
    connect(SSCommand2, &QPushButton::clicked, this, [this] { saveScheme(); });
    return tab;
}

void FrmCntIpod::prepareMappingGrid(QdGrid *grid, MappingModel *model, const QString &format,
                                    bool isSelection)
{
    grid->setModel(model);
    grid->setFormatString(format);
    grid->setColHidden(kColumnCol, true);
    grid->setColMerge(kGroupCol);
    grid->setColumnWidth(kFieldCol, 180);
    if (isSelection)
        return;
    grid->setColHidden(kIncludeCol, true);
    grid->setItemDelegateForColumn(kFieldCol, new FieldChoiceDelegate(&m_sourceFields, grid));
    grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    // Any change of a mapping, the user's or a recalled scheme's, shows in the selection.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                if (topLeft.column() <= kFieldCol && bottomRight.column() >= kFieldCol)
                    refreshSelectedFields();
            });
}

void FrmCntIpod::buildGrids()
{
    const MappingLists lists = m_session.mappingLists();
    auto both = lists.important;
    both.insert(both.end(), lists.other.begin(), lists.other.end());
    // The two mappings start unticked, the selection ticked: its ticks are what is imported.
    m_important = new MappingModel(MappingModel::Kind::Mapping, lists.important, false, this);
    m_other = new MappingModel(MappingModel::Kind::Mapping, lists.other, false, this);
    m_selection = new MappingModel(MappingModel::Kind::Selection, both, true, this);
    prepareMappingGrid(Grid1, m_important, kMappingFormat, false);
    prepareMappingGrid(Grid2, m_other, kOtherFormat, false);
    prepareMappingGrid(Grid4, m_selection, kMappingFormat, true);
}

} // namespace quenda
