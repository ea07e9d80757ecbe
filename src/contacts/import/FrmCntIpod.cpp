#include "contacts/import/FrmCntIpod.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "contacts/export/CardVersionBox.h"
#include "contacts/export/contact_list_model.h"
#include "contacts/export/contact_send.h"
#include "contacts/export/vcard_writer.h"
#include "contacts/import/contact_import.h"
#include "contacts/import/field_catalogue.h"
#include "contacts/import/field_mapping.h"
#include "contacts/import/field_suggestion.h"
#include "contacts/import/import_models.h"
#include "db/contacts.h"
#include "db/mapping_schemes.h"
#include "db/setup.h"
#include "formats/table_sources.h"
#include "jobs/job_widgets.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

namespace quenda {

namespace {

constexpr int kGroupCol = MappingModel::GroupCol;
constexpr int kColumnCol = MappingModel::ColumnCol;
constexpr int kFieldCol = MappingModel::FieldCol;
constexpr int kIncludeCol = MappingModel::IncludeCol;

enum Tab { SelectFile = 1, SetFields, OtherFields, SelectedFields, Preview, SendIpod };

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

FrmCntIpod::FrmCntIpod(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services),
      m_connection(services.places.databasePath(), BusyWait::Short)
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
    CmbIpodVersion = new CardVersionBox(m_connection.db(), m_services, FraSendIpod);
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
    QSqlDatabase &db = m_connection.db();
    const auto important = mappingRows(reportedColumns(db, importantFieldList()));
    auto both = important;
    const auto other = mappingRows(reportedColumns(db, otherFieldList()));
    both.insert(both.end(), other.begin(), other.end());
    // The two mappings start unticked, the selection ticked: its ticks are what is imported.
    m_important = new MappingModel(MappingModel::Kind::Mapping, important, false, this);
    m_other = new MappingModel(MappingModel::Kind::Mapping, other, false, this);
    m_selection = new MappingModel(MappingModel::Kind::Selection, both, true, this);
    prepareMappingGrid(Grid1, m_important, kMappingFormat, false);
    prepareMappingGrid(Grid2, m_other, kOtherFormat, false);
    prepareMappingGrid(Grid4, m_selection, kMappingFormat, true);
}

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
    if (watched == CmdHelps && event->type() == QEvent::Enter) {
        const Result<QString> help = tooltipText(m_connection.db(), QStringLiteral("LS0017"));
        CmdHelps->setToolTip(help ? *help : QString());
    }
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
    QStringList columns;
    for (const MappingModel *model : {m_important, m_other})
        for (const MappingGridRow &row : model->rows())
            columns << row.column;
    QHash<QString, QString> fieldOf;
    for (const ImportPair &pair : suggestMapping(m_sourceFields, columns, m_source.kind))
        fieldOf.insert(pair.column.toUpper(), pair.field);
    for (MappingModel *model : {m_important, m_other}) {
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString field = fieldOf.value(model->row(r).column.toUpper());
            if (!field.isEmpty() && model->row(r).field.trimmed().isEmpty())
                model->setField(r, field);
        }
    }
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
    const Result<QStringList> names = mappingSchemeNames(m_connection.db());
    cboScheme->clear();
    cboScheme1->clear();
    if (!names) {
        m_services.messages->show(
            QStringLiteral("The saved schemes could not be read: %1").arg(names.message()),
            MsgIcon::Critical);
        return;
    }
    cboScheme->addItems(*names);
    cboScheme1->addItems(*names);
    cboScheme->setCurrentIndex(names->indexOf(recalled));
    cboScheme1->setCurrentText(typed);
}

void FrmCntIpod::recallScheme()
{
    const auto rows = mappingSchemeRows(m_connection.db(), cboScheme->currentText());
    if (!rows) {
        m_services.messages->show(
            QStringLiteral("The scheme could not be read: %1").arg(rows.message()),
            MsgIcon::Critical);
        return;
    }
    for (const SchemeRow &row : *rows)
        m_important->setField(row.row - 1, row.field);
}

void FrmCntIpod::saveScheme()
{
    Grid1->setCurrentIndex(QModelIndex()); // an open editor hands its text to the grid first
    QStringList fields;
    for (const MappingGridRow &row : m_important->rows())
        fields << row.field;
    const QString name = cboScheme1->currentText();
    if (const Status saved = saveMappingScheme(m_connection.db(), name, fields); !saved) {
        m_services.messages->show(
            QStringLiteral("The scheme \"%1\" could not be saved: %2").arg(name, saved.message()),
            MsgIcon::Critical);
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
    QStringList fieldNames;
    auto rows =
        contactPreviewRows(m_connection.db(), previewFieldList(), 0, kMaxPreviewRows, fieldNames);
    if (!rows) {
        m_services.messages->show(
            QStringLiteral("The contacts could not be read: %1").arg(rows.message()),
            MsgIcon::Critical);
        return;
    }
    QStringList headers;
    for (const QString &name : std::as_const(fieldNames))
        headers << displayNameOf(name).trimmed();
    showInGrid3(headers, std::move(*rows), false);
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
    bool anySelected = false;
    std::vector<ImportPair> pairs;
    for (const MappingGridRow &row : m_selection->rows()) {
        anySelected = anySelected || !row.field.trimmed().isEmpty();
        if (!row.field.isEmpty() && row.include)
            pairs.push_back({row.column, row.field});
    }
    // Rows mapped but all unticked would add empty contacts: that is no selection either.
    if (!anySelected || pairs.empty()) {
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
                                                           : report.error,
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
                m_services.messages->show(report.error, MsgIcon::Exclamation);
            }
        });
}

// ---- Sending to the device

void FrmCntIpod::loadSendList()
{
    Result<QStringList> names = m_connection.isOpen()
                                    ? contactNames(m_connection.db())
                                    : Result<QStringList>(m_connection.status().error());
    if (!names) {
        m_names->setNames({});
        m_services.messages->show(
            QStringLiteral("The contact names could not be read: %1").arg(names.message()),
            MsgIcon::Critical);
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
