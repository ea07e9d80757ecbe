#include "jobs/foreground.h"

#include <QDir>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

namespace quenda {

namespace {

std::atomic<JobControl *> g_interruptible{nullptr};

extern "C" void cancelOnInterrupt(int)
{
    // A lock-free atomic store is safe in a signal handler.
    if (JobControl *control = g_interruptible.load())
        control->cancel();
}

// Redraws one status line on the terminal until stopped.
class TerminalProgress {
public:
    explicit TerminalProgress(const JobControl &control) : m_control(control)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~TerminalProgress()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
        if (m_drawn)
            std::fputs("\r\033[K", stderr);
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return m_stop; }))
            draw();
    }
    void draw()
    {
        const JobProgress p = m_control.progress();
        QString line = p.total > 0 ? QStringLiteral("%1/%2").arg(p.done).arg(p.total)
                                   : QString::number(p.done);
        if (!p.item.isEmpty())
            line += QLatin1Char(' ') + QDir::toNativeSeparators(p.item);
        std::fprintf(stderr, "\r\033[K%s", line.left(120).toLocal8Bit().constData());
        std::fflush(stderr);
        m_drawn = true;
    }

    const JobControl &m_control;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_drawn = false;
};

} // namespace

void printFailures(const JobReport &report, QTextStream &err)
{
    for (const ItemFailure &f : report.failures)
        err << QDir::toNativeSeparators(f.path) << ": " << f.reason << Qt::endl;
    if (!report.status)
        err << report.status.message() << Qt::endl;
}

JobReport runInForeground(const std::function<void(JobControl &)> &body, QTextStream &err,
                          CancelNote cancelNote)
{
    JobControl control;
    g_interruptible.store(&control);
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = cancelOnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
    {
        std::optional<TerminalProgress> progress;
        if (isatty(STDERR_FILENO))
            progress.emplace(control);
        try {
            body(control);
        } catch (const std::exception &e) {
            control.abort(QStringLiteral("The action stopped on an unexpected fault: %1")
                              .arg(QString::fromLocal8Bit(e.what())));
        }
    }
    sigaction(SIGINT, &previous, nullptr);
    g_interruptible.store(nullptr);
    const JobReport report = control.report();
    err.flush();
    printFailures(report, err);
    if (report.cancelled && cancelNote == CancelNote::WhatWasDoneIsKept)
        err << "Stopped before the end; what was done is kept." << Qt::endl;
    return report;
}

} // namespace quenda
