#include "jobs/job_widgets.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace quenda;
using namespace quenda::test;

namespace {

// Runs until cancelled, showing where it is; gives back how far it got.
int untilCancelled(JobControl &control)
{
    control.setTotal(10);
    control.setDone(4);
    control.setItem(QStringLiteral("/notes/long.txt"));
    while (!control.isCancelled())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 4;
}

} // namespace

TEST(JobWidgets, DialogShowsTheItemItsCancelStopsTheJobAndClosingAsksFirst)
{
    QWidget window;
    JobRunner runner(&window);
    auto *dialog = new JobProgressDialog(&runner, &window);
    dialog->setShowDelay(0);
    QPushButton start(&window);
    QProgressBar bar(&window);
    bindProgressBar(&runner, &bar);
    disableWhileRunning(&runner, &window, {&start});
    window.show();

    runner.start(untilCancelled);
    EXPECT_FALSE(start.isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return dialog->isVisible() &&
               control<QLabel>(dialog, "JobItem")->toolTip() == QLatin1String("/notes/long.txt");
    }));
    EXPECT_EQ(control<QProgressBar>(dialog, "JobBar")->value(), 4);
    EXPECT_EQ(bar.value(), 4);
    EXPECT_TRUE(bar.isVisible());
    // Closing the window under the job asks first; No leaves it running.
    ScriptedMessages messages;
    messages.answers = {MsgAnswer::No};
    EXPECT_FALSE(mayCloseWhileRunning(&runner, messages));
    EXPECT_TRUE(runner.isRunning());

    QSignalSpy finished(&runner, &JobRunner::finished);
    QTest::mouseClick(control<QPushButton>(dialog, "JobCancel"), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.at(0).at(0).value<JobReport>().cancelled);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(start.isEnabled());

    // Yes stops the job, and the window hears how it ended before it closes; with nothing
    // running there is nothing to ask.
    bool delivered = false;
    runner.start<int>(untilCancelled,
                      [&](int, const JobReport &report) { delivered = report.cancelled; });
    EXPECT_TRUE(mayCloseWhileRunning(&runner, messages));
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(mayCloseWhileRunning(&runner, messages));
    EXPECT_EQ(messages.texts(), QStringList(2, stopRunningActionQuestion()));
    EXPECT_EQ(messages.shown[0].buttons, MsgButtons::YesNo);
}

// A job that is over never shows its progress dialog, whoever opens a modal message at its end,
// and a job started from there counts as running.
TEST(JobWidgets, TheDialogOfAnEndedJobNeverAppearsUnderItsResult)
{
    QWidget window;
    JobRunner runner(&window);
    // Connected before the dialog: its slots run first.
    bool visibleUnderMessage = false;
    const auto spinLikeAModalMessage = [&] {
        QEventLoop loop;
        QTimer::singleShot(150, &loop, &QEventLoop::quit);
        loop.exec();
        visibleUnderMessage =
            visibleUnderMessage || window.findChild<JobProgressDialog *>()->isVisible();
    };
    bool slotMessage = true;
    QObject::connect(&runner, &JobRunner::finished, &window, [&] {
        if (slotMessage)
            spinLikeAModalMessage();
    });
    auto *dialog = new JobProgressDialog(&runner, &window);
    dialog->setShowDelay(20);
    QPushButton start(&window);
    disableWhileRunning(&runner, &window, {&start});
    window.show();

    // The result shown by a slot of finished().
    runner.start([](JobControl &) {});
    runner.wait(); // the job ends before the show delay has passed
    EXPECT_FALSE(visibleUnderMessage);

    // The result shown by the job's own onDone, which then starts the next job.
    slotMessage = false;
    runner.start<int>([](JobControl &) { return 1; },
                      [&](int, const JobReport &) {
                          spinLikeAModalMessage();
                          runner.start(untilCancelled);
                      });
    runner.wait();
    EXPECT_FALSE(visibleUnderMessage);
    EXPECT_TRUE(runner.isRunning());
    EXPECT_FALSE(start.isEnabled()) << "the next job runs: its controls stay off";
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->isVisible(); }))
        << "the next job's dialog comes as usual";
    runner.cancel();
    runner.wait();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(start.isEnabled());
}
