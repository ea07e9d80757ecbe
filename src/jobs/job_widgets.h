#pragma once
// What a window needs to show a job: the shared progress dialog (item, bar, Cancel), a binder
// for a window's own progress bar, the controls a running job disables, and the question asked
// when the window is closed under a running job.

#include "common/services.h"
#include "jobs/job_runner.h"

#include <QDialog>
#include <QList>
#include <QTimer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quenda {

// Non-modal: the window stays usable while its job runs. It appears only when the job has run
// for a moment, so quick jobs do not flash it, and hides when the job ends.
class JobProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit JobProgressDialog(JobRunner *runner, QWidget *parent);

    void setShowDelay(int ms) { m_showTimer.setInterval(ms); }

private:
    void jobStarted();
    void showProgress(const JobProgress &progress);
    void jobFinished();
    void reject() override; // Esc and the close box cancel, as the button does

    JobRunner *m_runner;
    QLabel *m_item;
    QProgressBar *m_bar;
    QPushButton *m_cancel;
    QTimer m_showTimer;
    bool m_running = false;
};

// Moves a bar to the job's progress; an unknown total makes it a busy indicator.
void setBarProgress(QProgressBar *bar, const JobProgress &progress);

// Shows the bar while the runner works and moves it with the job's progress. An unknown total
// makes the bar a busy indicator. With hideWhenDone the bar is hidden again at the end.
void bindProgressBar(JobRunner *runner, QProgressBar *bar, bool hideWhenDone = true);

// Disables the controls (buttons, actions) while the runner works, and gives the window the
// busy pointer; both come back when the job ends.
void disableWhileRunning(JobRunner *runner, QWidget *window, const QList<QObject *> &controls);

// Closing a window under a running job: without a job, true. Otherwise the user is asked;
// on Yes the job is cancelled and waited for (its end is delivered), and the result is true; on
// No nothing changes and the result is false.
bool mayCloseWhileRunning(JobRunner *runner, Messages &messages);

// The text of the question above.
QString stopRunningActionQuestion();

} // namespace quenda
