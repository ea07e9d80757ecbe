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

// Runs until cancelled, showing where it is.
void untilCancelled(JobControl &control)
{
    control.setTotal(10);
    control.setDone(4);
    control.setItem(QStringLiteral("/notes/long.txt"));
    while (!control.isCancelled())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

TEST(JobWidgets, DialogShowsTheItemAndItsCancelStopsTheJob)
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

    QSignalSpy finished(&runner, &JobRunner::finished);
    QTest::mouseClick(control<QPushButton>(dialog, "JobCancel"), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finished.at(0).at(0).value<JobReport>().cancelled);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(bar.isVisible());
    EXPECT_TRUE(start.isEnabled());
}

TEST(JobWidgets, ClosingUnderARunningJobAsksAndOnYesStopsIt)
{
    ScriptedMessages messages;
    JobRunner runner;
    EXPECT_TRUE(mayCloseWhileRunning(&runner, messages));
    EXPECT_TRUE(messages.shown.empty()) << "nothing runs: nothing to ask";

    bool delivered = false;
    runner.start<int>(
        [](JobControl &control) {
            untilCancelled(control);
            return 1;
        },
        [&](int, const JobReport &report) { delivered = report.cancelled; });
    messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_FALSE(mayCloseWhileRunning(&runner, messages));
    EXPECT_TRUE(runner.isRunning());
    EXPECT_TRUE(mayCloseWhileRunning(&runner, messages));
    EXPECT_FALSE(runner.isRunning());
    EXPECT_TRUE(delivered) << "the window hears how its job ended before it closes";
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, stopRunningActionQuestion());
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
