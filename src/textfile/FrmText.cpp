#include "textfile/FrmText.h"

#include "common/QdGrid.h"
#include "common/window_shape.h"
#include "jobs/job_widgets.h"
#include "textfile/text_grid_model.h"

#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quenda {

namespace {

const QString kTitle = QStringLiteral("Convert Excel File  to Text file");
const QString kOpenFilter = QStringLiteral(
    "Spreadsheets|*.xls;*.xlsx;*.ods;*.csv;*.XLS;*.XLSX;*.ODS;*.CSV|*.xls|*.xls;*.XLS|"
    "*.xlsx|*.xlsx;*.XLSX|*.ods|*.ods;*.ODS|*.CSV|*.csv;*.CSV");
constexpr qint64 kMaxShownBytes = 16 * 1024 * 1024;

} // namespace

FrmText::FrmText(const Services &services, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_services(services),
      m_cells(emptyTextGrid())
{
    setObjectName(QStringLiteral("FrmText"));
    setWindowTitle(kTitle);
    resize(900, 600);
    m_job = new JobRunner(this);
    buildControls();
    disableWhileRunning(m_job, this, {CmdImport, File1, CmdText});
    showGrid();
    setFolder(startFolder());
    fillDrives();
}

FrmText::~FrmText() = default;

void FrmText::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 10, 16, 16);
    auto *titleRow = new QHBoxLayout;
    Label3 = makeTitleLabel(kTitle, this);
    Label3->setCursor(Qt::SizeAllCursor);
    Label3->setToolTip(QStringLiteral("Drag to move the window"));
    Label3->installEventFilter(this);
    dxColorBtn1 = new QPushButton(QStringLiteral("Close"), this);
    titleRow->addWidget(Label3, 1);
    titleRow->addWidget(dxColorBtn1);
    layout->addLayout(titleRow);

    Tabs1 = new QTabWidget(this);
    layout->addWidget(Tabs1, 1);

    // 1-Import File
    auto *import = new QWidget(Tabs1);
    auto *importLayout = new QGridLayout(import);
    auto *actions = new QHBoxLayout;
    CmdImport = new QPushButton(QStringLiteral("Import File"), import);
    CmdImport->setToolTip(QStringLiteral("Import Excel,CSV File"));
    Opt1 = new QRadioButton(QStringLiteral("Format1"), import);
    Opt1->setToolTip(QStringLiteral("Every grid row as a block; values start after ten "
                                    "characters of header"));
    Opt2 = new QRadioButton(QStringLiteral("Format2"), import);
    Opt2->setToolTip(QStringLiteral("Only the rows that hold values; values start after ten "
                                    "characters of header"));
    Opt3 = new QRadioButton(QStringLiteral("Format3"), import);
    Opt3->setToolTip(QStringLiteral("Only the rows that hold values; values line up after the "
                                    "longest header"));
    Opt1->setChecked(true);
    CmdText = new QPushButton(QStringLiteral("Create Text File"), import);
    CmdText->setToolTip(QStringLiteral("Write the grid to QDFile.txt on your Desktop"));
    actions->addWidget(CmdImport);
    actions->addStretch();
    actions->addWidget(Opt1);
    actions->addWidget(Opt2);
    actions->addWidget(Opt3);
    actions->addWidget(CmdText);
    importLayout->addLayout(actions, 0, 0, 1, 2);

    auto *picker = new QVBoxLayout;
    Drive1 = new QComboBox(import);
    LblFolder = new QLabel(import);
    LblFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Dir1 = new QListWidget(import);
    File1 = new QListWidget(import);
    picker->addWidget(Drive1);
    picker->addWidget(LblFolder);
    picker->addWidget(Dir1, 1);
    picker->addWidget(File1, 1);
    auto *pickerBox = new QWidget(import);
    pickerBox->setLayout(picker);
    pickerBox->setFixedWidth(230);
    picker->setContentsMargins(0, 0, 0, 0);
    Grid1 = new QdGrid(import);
    m_grid = new TextGridModel(this);
    Grid1->setModel(m_grid);
    importLayout->addWidget(pickerBox, 1, 0);
    importLayout->addWidget(Grid1, 1, 1);
    importLayout->setColumnStretch(1, 1);
    importLayout->setRowStretch(1, 1);
    Tabs1->addTab(import, QStringLiteral("1-Import File"));

    // 2-Convert Text File
    auto *convert = new QWidget(Tabs1);
    auto *convertLayout = new QVBoxLayout(convert);
    Label1 = new QLabel(QStringLiteral("User may, then copy this folder containing various "
                                       "subfolders of user files to his phone or his PDA."),
                        convert);
    Label1->setWordWrap(true);
    Rtb = new QPlainTextEdit(convert);
    Rtb->setReadOnly(true);
    // The padding lines values up in columns only when every character is as wide as a blank.
    Rtb->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Rtb->setLineWrapMode(QPlainTextEdit::NoWrap);
    convertLayout->addWidget(Label1);
    convertLayout->addWidget(Rtb, 1);
    Tabs1->addTab(convert, QStringLiteral("2-Convert Text File"));

    const auto names = {std::pair<QObject *, const char *>{Label3, "Label3"},
                        {dxColorBtn1, "dxColorBtn1"},
                        {Tabs1, "Tabs1"},
                        {CmdImport, "CmdImport"},
                        {Drive1, "Drive1"},
                        {LblFolder, "LblFolder"},
                        {Dir1, "Dir1"},
                        {File1, "File1"},
                        {Grid1, "Grid1"},
                        {Opt1, "Opt1"},
                        {Opt2, "Opt2"},
                        {Opt3, "Opt3"},
                        {CmdText, "CmdText"},
                        {Label1, "Label1"},
                        {Rtb, "Rtb"}};
    for (const auto &[object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(false);

    connect(dxColorBtn1, &QPushButton::clicked, this, [this] { close(); });
    connect(CmdImport, &QPushButton::clicked, this, [this] { CmdImport_Click(); });
    connect(CmdText, &QPushButton::clicked, this, [this] { writeOutput(); });
    connect(Drive1, &QComboBox::activated, this, [this](int index) { Drive1_Change(index); });
    connect(Dir1, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { setFolder(item->data(Qt::UserRole).toString()); });
    const auto pickFile = [this](QListWidgetItem *item) {
        importFile(item->data(Qt::UserRole).toString());
    };
    connect(File1, &QListWidget::itemClicked, this, pickFile);
    connect(File1, &QListWidget::itemActivated, this, pickFile);
    connect(Tabs1, &QTabWidget::currentChanged, this, [this](int index) { Tabs1_Click(index); });
}

void FrmText::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    applyRoundedShape(this);
}

bool FrmText::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label3 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        dragWindow(this);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

TextLayout FrmText::chosenLayout() const
{
    if (Opt2->isChecked())
        return TextLayout::Compact;
    if (Opt3->isChecked())
        return TextLayout::AlignedCompact;
    return TextLayout::Blocks;
}

QString FrmText::startFolder() const
{
    return spreadsheetStartFolder(m_services.places.userFilesDir(), m_services.places.homeDir);
}

void FrmText::showGrid()
{
    m_grid->setGrid(m_cells);
    for (int col = 0; col < kTextGridCols; ++col)
        Grid1->setColWidthTwips(col, col == 0 ? 0 : 1200);
}

void FrmText::setDriveSources(const DriveSources &sources)
{
    m_driveSources = sources;
    fillDrives();
}

void FrmText::fillDrives()
{
    Drive1->clear();
    m_driveIndex = -1;
    int best = -1;
    qsizetype bestLength = -1;
    for (const DriveInfo &drive : listDrives(m_driveSources)) {
        const QString shown =
            drive.volumeLabel.isEmpty()
                ? drive.rootPath
                : QStringLiteral("%1 [%2]").arg(drive.rootPath, drive.volumeLabel);
        Drive1->addItem(shown, drive.rootPath);
        const QString root = drive.rootPath;
        const bool holds = root == QLatin1String("/") || m_folder == root ||
                           m_folder.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = Drive1->count() - 1;
            bestLength = root.size();
        }
    }
    m_driveIndex = best;
    Drive1->setCurrentIndex(best);
}

void FrmText::Drive1_Change(int index)
{
    const QString root = Drive1->itemData(index).toString();
    if (!isEnterableFolder(root)) {
        m_services.messages->show(QStringLiteral("Drive Not Ready!"));
        Drive1->setCurrentIndex(m_driveIndex);
        return;
    }
    m_driveIndex = index;
    setFolder(root);
}

void FrmText::setFolder(const QString &folder)
{
    m_folder = QDir::cleanPath(folder);
    LblFolder->setText(QDir::toNativeSeparators(m_folder));
    LblFolder->setToolTip(LblFolder->text());
    Dir1->clear();
    const SpreadsheetFolder listing = listSpreadsheetFolder(m_folder);
    if (!listing.parent.isEmpty()) {
        auto *up = new QListWidgetItem(QStringLiteral(".."), Dir1);
        up->setData(Qt::UserRole, listing.parent);
    }
    for (const SpreadsheetEntry &folder : listing.folders)
        (new QListWidgetItem(folder.name, Dir1))->setData(Qt::UserRole, folder.path);
    File1->clear();
    for (const SpreadsheetEntry &file : listing.files)
        (new QListWidgetItem(file.name, File1))->setData(Qt::UserRole, file.path);
}

void FrmText::CmdImport_Click()
{
    FileDialogOptions options;
    options.filter = kOpenFilter;
    options.initialDir = startFolder();
    const QString chosen = m_services.dialogs->openFile(options);
    if (!chosen.isEmpty())
        importFile(chosen);
}

void FrmText::importFile(const QString &path)
{
    if (m_job->isRunning())
        return;
    m_job->start<std::shared_ptr<Result<TextGrid>>>(
        [path](JobControl &) {
            return std::make_shared<Result<TextGrid>>(importSpreadsheet(path));
        },
        [this, path](std::shared_ptr<Result<TextGrid>> grid, const JobReport &) {
            if (!grid)
                return;
            // A file that cannot be read leaves the grid as it was.
            if (!*grid) {
                m_services.messages->show(grid->message(), MsgIcon::Exclamation, MsgButtons::Ok,
                                          kTitle);
                return;
            }
            m_cells = std::move(**grid);
            m_sourcePath = path;
            showGrid();
        });
}

bool FrmText::writeOutput()
{
    const QString path = textFilePath(m_services.places.desktopDir);
    Status written = checkNotOwnSource(m_sourcePath, path);
    if (written)
        written = writeTextFileFromGrid(path, m_cells, chosenLayout());
    if (!written) {
        m_services.messages->show(written.message(), MsgIcon::Exclamation, MsgButtons::Ok, kTitle);
        return false;
    }
    m_services.messages->show(textFileSavedMessage(path));
    return true;
}

void FrmText::Tabs1_Click(int index)
{
    if (index != 1 || !writeOutput())
        return;
    Rtb->setPlainText(readTextFileBack(textFilePath(m_services.places.desktopDir), kMaxShownBytes));
}

} // namespace quenda
