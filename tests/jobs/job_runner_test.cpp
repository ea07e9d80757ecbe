#include "jobs/foreground.h"
#include "jobs/job_runner.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace quenda;

namespace {

// A job of `items` steps that takes `perItemMs` each and can be cancelled between them; every
// ten steps make a part.
JobRunner::Body steps(int items, int perItemMs, std::atomic<int> *reached = nullptr)
{
    return [=](JobControl &control) {
        control.setTotal(items);
        control.setParts(items / 10);
        for (int i = 0; i < items && !control.isCancelled(); ++i) {
            control.startPart(i / 10);
            control.setItem(QStringLiteral("item %1").arg(i));
            std::this_thread::sleep_for(std::chrono::milliseconds(perItemMs));
            if (i % 3 == 2)
                control.fail(QStringLiteral("/data/item %1").arg(i), QStringLiteral("Broken"));
            control.advance();
            if (i % 10 == 9)
                control.finishPart();
            if (reached)
                *reached = i + 1;
        }
    };
}

JobReport finishedReport(QSignalSpy &spy)
{
    return spy.at(0).at(0).value<JobReport>();
}

} // namespace

TEST(JobRunner, ReportsProgressAtASteadyRateAndFinishesOnce)
{
    JobRunner runner;
    runner.setProgressInterval(20);
    QSignalSpy progress(&runner, &JobRunner::progressChanged);
    QSignalSpy finished(&runner, &JobRunner::finished);
    ASSERT_TRUE(runner.start(steps(200, 1)));
    EXPECT_FALSE(runner.start(steps(1, 0))) << "one job at a time";
    ASSERT_TRUE(finished.wait(10000));
    QTest::qWait(50);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_FALSE(runner.isRunning());
    // Polled, not signalled per item: far fewer updates than items, the last one complete.
    EXPECT_GE(progress.size(), 2);
    EXPECT_LT(progress.size(), 150);
    EXPECT_EQ(progress.last().at(0).value<JobProgress>(),
              (JobProgress{200, 200, QStringLiteral("item 199"), 19, 20, 20}));

    const JobReport report = finishedReport(finished);
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(report.done, 200);
    ASSERT_EQ(report.failures.size(), 66u);
    EXPECT_EQ(report.failures[0], (ItemFailure{"/data/item 2", "Broken"}));
    EXPECT_FALSE(report.succeeded());
}

TEST(JobRunner, CancelKeepsWhatWasDoneValuesTravelBesideAndAFaultEndsTheNextJob)
{
    JobRunner runner;
    std::atomic<int> reached{0};
    int value = -1;
    JobReport seen;
    ASSERT_TRUE(runner.start<int>(
        [&](JobControl &control) {
            steps(1000, 2, &reached)(control);
            return reached.load();
        },
        [&](int v, const JobReport &report) {
            value = v;
            seen = report;
        }));
    while (reached < 5)
        QTest::qWait(2);
    runner.cancel();
    runner.wait(); // delivers at once
    EXPECT_TRUE(seen.cancelled);
    EXPECT_GE(value, 5);
    EXPECT_LT(value, 1000);
    EXPECT_EQ(seen.done, value);

    // The same runner takes the next job; a fault in its body ends it with its reason.
    QSignalSpy finished(&runner, &JobRunner::finished);
    ASSERT_TRUE(runner.start([](JobControl &) { throw std::runtime_error("disk on fire"); }));
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_TRUE(finishedReport(finished).status.message().contains(QLatin1String("disk on fire")));
}

TEST(JobRunner, DestroyedWhileRunningCancelsAndWaitsWithoutDelivering)
{
    std::atomic<int> reached{0};
    bool delivered = false;
    {
        JobRunner runner;
        runner.start<int>(
            [&](JobControl &control) {
                steps(100000, 1, &reached)(control);
                return 0;
            },
            [&](int, const JobReport &) { delivered = true; });
        while (reached < 2)
            QTest::qWait(1);
    }
    const int atDestruction = reached;
    QTest::qWait(30);
    EXPECT_EQ(reached, atDestruction) << "the worker must have ended with its runner";
    EXPECT_FALSE(delivered);
}

TEST(JobRunner, ACancelAfterTheBodysLastPollIsNoCancelAndTheForegroundPrintsFailures)
{
    JobRunner runner;
    QSignalSpy finished(&runner, &JobRunner::finished);
    std::atomic<bool> workDone{false};
    std::atomic<bool> cancelSent{false};
    ASSERT_TRUE(runner.start([&](JobControl &control) {
        steps(4, 0)(control);
        workDone = true;
        while (!cancelSent)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }));
    while (!workDone)
        QTest::qWait(1);
    runner.cancel();
    cancelSent = true;
    ASSERT_TRUE(finished.wait(5000));
    const JobReport report = finishedReport(finished);
    EXPECT_FALSE(report.cancelled);
    EXPECT_EQ(report.done, 4);

    // On the command line: failures print as path and reason, the first fault alone is told,
    // and the same late cancel is a stop only when a poll saw it.
    QString printed;
    QTextStream err(&printed);
    EXPECT_FALSE(runInForeground(
                     [](JobControl &control) {
                         control.fail(QStringLiteral("/notes/a.txt"),
                                      QStringLiteral("Permission denied"));
                         control.abort(QStringLiteral("The database is locked."));
                         control.abort(QStringLiteral("A later fault is not the one told."));
                     },
                     err)
                     .succeeded());
    EXPECT_EQ(printed,
              QStringLiteral("/notes/a.txt: Permission denied\nThe database is locked.\n"));
    printed.clear();
    EXPECT_TRUE(runInForeground(
                    [](JobControl &control) {
                        control.cancel();
                        (void)control.isCancelled();
                    },
                    err)
                    .cancelled);
    EXPECT_TRUE(printed.contains(QLatin1String("Stopped before the end")));
    printed.clear();
    EXPECT_FALSE(runInForeground([](JobControl &control) { control.cancel(); }, err).cancelled);
    EXPECT_TRUE(printed.isEmpty());
}
