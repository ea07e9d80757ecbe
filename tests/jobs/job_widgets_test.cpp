#include "jobs/job_widgets.h"
#include "support/test_services.h"
#include "support/window_controls.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

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
