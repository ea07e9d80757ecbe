#pragma once
// Questions asked again and again while the user clicks, where only the newest answer matters
// (a preview, a folder listing): each runs as a job on a worker thread, a new question cancels
// the one at work, and an answer is delivered only when no newer question was asked after it.
// Staleness goes by a generation count, not by the cancel: a body that never polls still has
// its answer dropped. Nothing here blocks the owner's thread except waitForIdle().

#include "jobs/job_runner.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace quenda {

template <class T> class NewestRequest {
public:
    using Body = std::function<T(JobControl &)>;
    using Done = std::function<void(T value, const JobReport &report)>;

    NewestRequest() = default;
    NewestRequest(const NewestRequest &) = delete;
    NewestRequest &operator=(const NewestRequest &) = delete;
    // The runner goes first: a body still at work is cancelled and joined, and its answer,
    // which would reach a window being destroyed, is never delivered.
    ~NewestRequest() { m_runner.reset(); }

    // Asks a new question; the one at work, if any, is cancelled and its answer dropped.
    void request(Body body, Done onDone)
    {
        ++m_generation;
        m_pending.emplace(std::move(body), std::move(onDone));
        if (m_runner->isRunning())
            m_runner->cancel(); // its end starts the pending question
        else
            startPending();
    }

    // Makes every question asked so far stale, for an answer that was had another way.
    void drop()
    {
        ++m_generation;
        m_pending.reset();
        m_runner->cancel();
    }

    bool isBusy() const { return m_runner->isRunning() || m_pending.has_value(); }

    // Blocks until the newest answer has been delivered (for the command line and tests).
    void waitForIdle()
    {
        while (m_runner->isRunning())
            m_runner->wait();
    }

private:
    void startPending()
    {
        if (!m_pending)
            return;
        auto [body, onDone] = std::move(*m_pending);
        m_pending.reset();
        const quint64 asked = m_generation;
        m_runner->start<T>(std::move(body), [this, asked, onDone = std::move(onDone)](
                                                T value, const JobReport &report) {
            if (asked == m_generation)
                onDone(std::move(value), report);
            startPending();
        });
    }

    std::unique_ptr<JobRunner> m_runner = std::make_unique<JobRunner>();
    std::optional<std::pair<Body, Done>> m_pending;
    quint64 m_generation = 0;
};

} // namespace quenda
