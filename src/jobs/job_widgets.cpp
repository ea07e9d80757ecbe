#include "jobs/job_widgets.h"

#include <QAction>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

namespace quenda {

namespace {

void setEnabled(QObject *control, bool enabled)
{
    if (auto *widget = qobject_cast<QWidget *>(control))
        widget->setEnabled(enabled);
    else if (auto *action = qobject_cast<QAction *>(control))
        action->setEnabled(enabled);
}

} // namespace

// QProgressBar counts in int: large totals are scaled down to keep the proportion.
void setBarProgress(QProgressBar *bar, const JobProgress &p)
{
    if (p.total <= 0) {
        bar->setRange(0, 0);
        return;
    }
    const qint64 scale = p.total > INT_MAX ? p.total / INT_MAX + 1 : 1;
    bar->setRange(0, static_cast<int>(p.total / scale));
    bar->setValue(static_cast<int>(std::min(p.done, p.total) / scale));
}

JobProgressDialog::JobProgressDialog(JobRunner *runner, QWidget *parent)
    : QDialog(parent), m_runner(runner)
{
    setObjectName(QStringLiteral("JobProgressDialog"));
    setWindowTitle(parent ? parent->windowTitle() : QString());
    setModal(false);
    auto *layout = new QVBoxLayout(this);
    m_item = new QLabel(this);
    m_item->setObjectName(QStringLiteral("JobItem"));
    m_item->setMinimumWidth(QFontMetrics(m_item->font()).averageCharWidth() * 60);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("JobBar"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("JobCancel"));
    m_cancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    layout->addWidget(m_item);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);

    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(400);
    // Whoever hears finished() first may spin an event loop of its own (a result message):
    // the dialog must not come up then, so the runner is asked as well as the own flag.
    connect(&m_showTimer, &QTimer::timeout, this, [this] {
        if (m_running && m_runner->isRunning())
            show();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_runner->cancel();
        m_cancel->setEnabled(false);
    });
    connect(runner, &JobRunner::started, this, &JobProgressDialog::jobStarted);
    connect(runner, &JobRunner::progressChanged, this, &JobProgressDialog::showProgress);
    connect(runner, &JobRunner::finished, this, &JobProgressDialog::jobFinished);
}

void JobProgressDialog::jobStarted()
{
    m_running = true;
    m_item->clear();
    m_bar->setRange(0, 0);
    m_cancel->setEnabled(true);
    m_showTimer.start();
}

void JobProgressDialog::showProgress(const JobProgress &progress)
{
    const QString item = QDir::toNativeSeparators(progress.item);
    m_item->setText(m_item->fontMetrics().elidedText(item, Qt::ElideMiddle, m_item->width()));
    m_item->setToolTip(item);
    setBarProgress(m_bar, progress);
}

void JobProgressDialog::jobFinished()
{
    m_running = false;
    m_showTimer.stop();
    hide();
}

void JobProgressDialog::reject()
{
    if (m_running) {
        m_runner->cancel();
        m_cancel->setEnabled(false);
        return;
    }
    QDialog::reject();
}

void bindProgressBar(JobRunner *runner, QProgressBar *bar, bool hideWhenDone)
{
    QObject::connect(runner, &JobRunner::started, bar, [bar] {
        bar->setRange(0, 0);
        bar->setVisible(true);
    });
    QObject::connect(runner, &JobRunner::progressChanged, bar,
                     [bar](const JobProgress &p) { setBarProgress(bar, p); });
    if (hideWhenDone)
        QObject::connect(runner, &JobRunner::finished, bar, [bar] { bar->setVisible(false); });
}

void disableWhileRunning(JobRunner *runner, QWidget *window, const QList<QObject *> &controls)
{
    QList<QPointer<QObject>> guarded;
    for (QObject *control : controls)
        guarded << QPointer<QObject>(control);
    QObject::connect(runner, &JobRunner::started, window, [guarded, window] {
        for (QObject *control : guarded)
            if (control)
                setEnabled(control, false);
        window->setCursor(Qt::BusyCursor);
    });
    QObject::connect(runner, &JobRunner::finished, window, [guarded, window] {
        for (QObject *control : guarded)
            if (control)
                setEnabled(control, true);
        window->unsetCursor();
    });
}

QString stopRunningActionQuestion()
{
    return QStringLiteral("An action is still running. Do you want to stop it?");
}

bool mayCloseWhileRunning(JobRunner *runner, Messages &messages)
{
    if (!runner->isRunning())
        return true;
    if (messages.show(stopRunningActionQuestion(), MsgIcon::Question, MsgButtons::YesNo) !=
        MsgAnswer::Yes)
        return false;
    runner->cancel();
    runner->wait();
    return true;
}

} // namespace quenda
