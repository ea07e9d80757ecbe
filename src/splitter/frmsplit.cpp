#include "splitter/frmsplit.h"

#include "common/keyboard_access.h"
#include "jobs/job_widgets.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quenda {

namespace {

const QString kLightOn = QStringLiteral("LightOn.bmp");
const QString kLightOff = QStringLiteral("LightOff.bmp");

QPixmap lightPicture(const QColor &colour)
{
    QPixmap picture(14, 14);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 1.5, 11, 11));
    return picture;
}

QPixmap closePicture()
{
    QPixmap picture(22, 22);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(47, 103, 159));
    painter.drawRoundedRect(QRectF(1, 1, 20, 20), 4, 4);
    painter.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(7, 7), QPointF(15, 15));
    painter.drawLine(QPointF(15, 7), QPointF(7, 15));
    return picture;
}

// Keys the size box takes: digits, "." and backspace. Keys that type nothing (arrows, Delete)
// and the dialog's own keys pass untouched.
bool sizeBoxRefuses(const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        return false;
    default:
        break;
    }
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const bool accepted = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                              c == QLatin1Char('.') || c.unicode() == 8;
        if (!accepted)
            return true;
    }
    return false;
}

} // namespace

frmsplit::frmsplit(const Services &services, QWidget *parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("frmsplit"));
    setWindowTitle(QString());
    ImageList1.insert(QStringLiteral("ON"), lightPicture(QColor(40, 200, 60)));
    ImageList1.insert(QStringLiteral("OFF"), lightPicture(QColor(150, 150, 150)));
    buildControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    connect(Timer1, &QTimer::timeout, this, [this] { LoadImage(true); });

    m_job = new JobRunner(this);
    new JobProgressDialog(m_job, this);
    disableWhileRunning(m_job, this, {cmdSplit, cmdBrowse});
    connect(m_job, &JobRunner::progressChanged, this, [this](const JobProgress &p) {
        if (!p.item.isEmpty())
            PanelText->setText(QStringLiteral("Creating File: ") + p.item);
    });

    connect(cmdBrowse, &QPushButton::clicked, this, &frmsplit::cmdBrowse_Click);
    connect(cmdSplit, &QPushButton::clicked, this, &frmsplit::cmdSplit_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::close);
    for (int i = 0; i < static_cast<int>(Option1.size()); ++i)
        connect(Option1[i], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
    Text2->installEventFilter(this);
    Image4->installEventFilter(this);
}

void frmsplit::buildControls()
{
    auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    Label1 = named(new QLabel(QStringLiteral("File to be splitted:"), this), "Label1");
    Text1 = named(new QLineEdit(this), "Text1");
    cmdBrowse = named(new QPushButton(QStringLiteral("&Browse"), this), "cmdBrowse");
    Frame1 = named(new QGroupBox(QStringLiteral("Split file based on:"), this), "Frame1");
    const char *captions[] = {"Number of lines", "KB", "MB"};
    auto *options = new QHBoxLayout(Frame1);
    for (int i = 0; i < 3; ++i) {
        Option1[i] = named(new QRadioButton(QLatin1String(captions[i]), Frame1), "Option1");
        Option1[i]->setProperty("index", i);
        options->addWidget(Option1[i]);
    }
    Option1[0]->setChecked(true);
    Label2 = named(new QLabel(QStringLiteral("Size in Number of lines"), this), "Label2");
    Text2 = named(new QLineEdit(this), "Text2");
    cmdSplit = named(new QPushButton(QStringLiteral("&Split File"), this), "cmdSplit");
    cmdExit = named(new QPushButton(QStringLiteral("&Exit"), this), "cmdExit");
    Image4 = named(new QLabel(this), "Image4");
    Image4->setPixmap(closePicture());
    Image4->setCursor(Qt::PointingHandCursor);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    auto *panel = named(new QWidget(StatusBar1), "ONE");
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(2, 0, 2, 0);
    PanelPicture = named(new QLabel(panel), "PanelPicture");
    PanelPicture->setFixedSize(16, 16);
    PanelText = named(new QLabel(panel), "PanelText");
    panelLayout->addWidget(PanelPicture);
    panelLayout->addWidget(PanelText, 1);
    StatusBar1->addWidget(panel, 1);

    auto *grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0, 1, 3);
    grid->addWidget(Image4, 0, 3, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(Text1, 1, 0, 1, 3);
    grid->addWidget(cmdBrowse, 1, 3);
    grid->addWidget(Frame1, 2, 0, 1, 4);
    grid->addWidget(Label2, 3, 0);
    grid->addWidget(Text2, 3, 1);
    grid->addWidget(cmdSplit, 4, 2);
    grid->addWidget(cmdExit, 4, 3);
    grid->setColumnStretch(1, 1);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *body = new QWidget(this);
    body->setLayout(grid);
    grid->setContentsMargins(12, 8, 12, 8);
    outer->addWidget(body);
    outer->addWidget(StatusBar1);
    resize(460, sizeHint().height());
}

void frmsplit::LoadImage(bool blink)
{
    if (!blink) {
        PanelPicture->clear();
        PanelText->clear();
        return;
    }
    const bool wasOn = m_lightTag == kLightOn;
    m_lightTag = wasOn ? kLightOff : kLightOn;
    PanelPicture->setPixmap(ImageList1.value(wasOn ? QStringLiteral("OFF") : QStringLiteral("ON")));
}

void frmsplit::setFilePath(const QString &path)
{
    Text1->setText(path);
}

QString frmsplit::filePath() const
{
    return Text1->text();
}

void frmsplit::done(int result)
{
    if (!mayCloseWhileRunning(m_job, *m_services.messages))
        return;
    QDialog::done(result);
}

bool frmsplit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text2 && event->type() == QEvent::KeyPress)
        return sizeBoxRefuses(static_cast<QKeyEvent *>(event));
    if (watched == Image4 && event->type() == QEvent::MouseButtonRelease) {
        close();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

SplitUnit frmsplit::chosenUnit() const
{
    if (Option1[1]->isChecked())
        return SplitUnit::KB;
    if (Option1[2]->isChecked())
        return SplitUnit::MB;
    return SplitUnit::Lines;
}

void frmsplit::cmdBrowse_Click()
{
    FileDialogOptions options;
    options.initialDir = m_services.places.programDir;
    options.filter = QStringLiteral("All Files (*)");
    const QString chosen = m_services.dialogs->openFile(options);
    const QFileInfo info(chosen);
    if (!chosen.isEmpty() && info.isFile())
        Text1->setText(info.absoluteFilePath());
    else
        Text1->clear();
    Text2->setFocus();
}

void frmsplit::Option1_Click(int index)
{
    Label2->setText(QStringLiteral("Size in ") + withoutAccessKey(Option1[index]->text()));
    Text2->setFocus();
}

void frmsplit::cmdSplit_Click()
{
    if (m_job->isRunning())
        return;
    const SplitCommandResult checked =
        checkSplitCommand(Text1->text(), Text2->text(), chosenUnit());
    if (!checked.request) {
        showMessages(checked);
        return;
    }
    const SplitRequest request = *checked.request;
    Timer1->start();
    m_job->start<SplitResult>(
        [request](JobControl &control) {
            return SplitFile(request.path, request.size, request.unit, control);
        },
        [this, request](SplitResult split, const JobReport &report) {
            Timer1->stop();
            LoadImage(false);
            // The button was disabled while the split ran, which moved the focus on to "&Exit":
            // an Enter that closes the result message must not close the window too.
            cmdSplit->setEnabled(true);
            cmdSplit->setFocus();
            SplitCommandResult result;
            result.pieces = split.pieces;
            result.messages = splitMessages(request, split);
            if (!report.status)
                result.messages.insert(result.messages.begin(),
                                       {report.status.message(), MsgIcon::Critical});
            showMessages(result);
        });
}

void frmsplit::showMessages(const SplitCommandResult &result)
{
    for (const SplitMessage &message : result.messages)
        m_services.messages->show(message.text, message.icon);
    if (result.sizeText)
        Text2->setText(*result.sizeText);
    if (result.focusSize)
        Text2->setFocus();
}

} // namespace quenda
