#include "jobs/job_runner.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>

#include <exception>

namespace quenda {

namespace {

// About fifteen updates a second: smooth for the eye, negligible for the worker.
constexpr int kProgressIntervalMs = 66;

QMutex g_hookMutex;
std::function<void(JobControl &)> g_startHook;

std::function<void(JobControl &)> startHook()
{
    const QMutexLocker lock(&g_hookMutex);
    return g_startHook;
}

} // namespace

JobRunner::JobRunner(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<quenda::JobProgress>();
    qRegisterMetaType<quenda::JobReport>();
    m_timer.setInterval(kProgressIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &JobRunner::poll);
}

JobRunner::~JobRunner()
{
    // The owner is going away: its slots must not run any more, so the end is not delivered.
    if (m_thread.joinable()) {
        m_control->cancel();
        m_thread.join();
    }
}

void JobRunner::setStartHook(std::function<void(JobControl &)> hook)
{
    const QMutexLocker lock(&g_hookMutex);
    g_startHook = std::move(hook);
}

bool JobRunner::start(Body body)
{
    if (isRunning())
        return false;
    m_onDone = nullptr;
    return startBody(std::move(body));
}

bool JobRunner::startBody(Body body)
{
    if (isRunning())
        return false;
    m_control = std::make_shared<JobControl>();
    m_lastProgress = JobProgress{};
    const quint64 generation = ++m_generation;
    auto control = m_control;
    auto hook = startHook();
    m_thread =
        std::thread([this, control, generation, hook = std::move(hook), body = std::move(body)] {
            try {
                if (hook)
                    hook(*control);
                body(*control);
            } catch (const std::exception &e) {
                control->abort(QStringLiteral("The action stopped on an unexpected fault: %1")
                                   .arg(QString::fromLocal8Bit(e.what())));
            } catch (...) {
                control->abort(QStringLiteral("The action stopped on an unexpected fault."));
            }
            // Posted to the owner's thread by name, so that no state of this thread travels in
            // the call; dropped with the runner if it is destroyed first.
            m_endedGeneration.store(generation, std::memory_order_release);
            QMetaObject::invokeMethod(this, "bodyEnded", Qt::QueuedConnection);
        });
    m_timer.start();
    Q_EMIT started();
    return true;
}

void JobRunner::bodyEnded()
{
    if (m_endedGeneration.load(std::memory_order_acquire) == m_generation && m_thread.joinable()) {
        m_thread.join();
        deliver();
    }
}

void JobRunner::cancel()
{
    if (m_control)
        m_control->cancel();
}

void JobRunner::wait()
{
    if (!m_thread.joinable())
        return;
    m_thread.join();
    deliver();
}

JobProgress JobRunner::progress() const
{
    return m_control ? m_control->progress() : m_lastProgress;
}

void JobRunner::poll()
{
    if (!m_control)
        return;
    const JobProgress now = m_control->progress();
    if (now == m_lastProgress)
        return;
    m_lastProgress = now;
    Q_EMIT progressChanged(now);
}

void JobRunner::deliver()
{
    m_timer.stop();
    if (!m_control)
        return;
    poll();
    const std::shared_ptr<JobControl> control = std::move(m_control);
    const JobReport report = control->report();
    // Taken first: a slot of finished() or onDone may start the next job, which sets a handler
    // of its own.
    const auto onDone = std::move(m_onDone);
    m_onDone = nullptr;
    // The job is put away (dialog hidden, controls back) before its result is shown: onDone
    // mostly opens a modal message, and under its event loop a progress dialog still waiting
    // to appear would come up with a live Cancel; a next job started there stays marked as
    // running.
    Q_EMIT finished(report);
    if (onDone)
        onDone(report);
}

} // namespace quenda
