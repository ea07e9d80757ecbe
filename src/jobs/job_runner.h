#pragma once
// Runs one long action at a time on a worker thread. The body gets a JobControl to poll for
// cancel and to report progress and failures; it must not touch widgets and opens its own
// database Connection when it needs one, because a connection belongs to the thread that
// opened it. Progress reaches the owner's thread by polling at a steady rate, never a signal
// per item; finished() comes once per job, before the job's own onDone. Destroying a runner
// cancels its job and waits.

#include "jobs/job_control.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace quenda {

class JobRunner : public QObject {
    Q_OBJECT
public:
    using Body = std::function<void(JobControl &)>;

    explicit JobRunner(QObject *parent = nullptr);
    ~JobRunner() override;

    // Starts body on a new worker thread; false when a job is running already.
    bool start(Body body);

    // A body with a value of its own: onDone gets the value and the report on this runner's
    // thread, right after finished() was emitted. A body that stopped on an exception leaves a
    // default value.
    template <class T>
    bool start(std::function<T(JobControl &)> body,
               std::function<void(T value, const JobReport &report)> onDone)
    {
        if (isRunning())
            return false;
        auto slot = std::make_shared<std::optional<T>>();
        m_onDone = [slot, onDone = std::move(onDone)](const JobReport &report) {
            onDone(slot->has_value() ? std::move(**slot) : T{}, report);
        };
        return startBody([body = std::move(body), slot](JobControl &c) { *slot = body(c); });
    }

    bool isRunning() const { return m_thread.joinable(); }
    void cancel();
    // Blocks until the worker has ended, then delivers its end (onDone, finished()) at once.
    void wait();
    // Progress as it stands; also what progressChanged carries.
    JobProgress progress() const;

    void setProgressInterval(int ms) { m_timer.setInterval(ms); }

    // Runs on the worker before every body of every runner; tests hold a job there to act
    // while it runs. Set it only while no job runs.
    static void setStartHook(std::function<void(JobControl &)> hook);

Q_SIGNALS:
    void started();
    void progressChanged(const quenda::JobProgress &progress);
    void finished(const quenda::JobReport &report);

private:
    bool startBody(Body body);
    void poll();
    void deliver();
    // Called on the owner's thread, queued by name from the worker once its body has ended.
    Q_INVOKABLE void bodyEnded();

    std::shared_ptr<JobControl> m_control;
    std::thread m_thread;
    QTimer m_timer;
    std::function<void(const JobReport &)> m_onDone;
    JobProgress m_lastProgress;
    quint64 m_generation = 0;
    // The generation whose body ended last; the worker's store is what the owner's thread reads
    // back, so the hand-over is ordered for the thread checker too, not only through Qt's queue.
    std::atomic<quint64> m_endedGeneration{0};
};

} // namespace quenda

Q_DECLARE_METATYPE(quenda::JobProgress)
Q_DECLARE_METATYPE(quenda::JobReport)
