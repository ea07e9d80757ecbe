#pragma once
// What a long action sees while it runs, on whatever thread runs it: a cancel request to poll,
// counters and the item now worked on for whoever shows progress, and the list of items that
// failed. Logic functions take a JobControl & and never know whether a window, the command line
// or a test watches them. Every member is safe to call from any thread.

#include <QMutex>
#include <QString>

#include <atomic>
#include <vector>

namespace quenda {

struct ItemFailure {
    QString path;   // the file, folder, record or row that failed, as the user knows it
    QString reason; // the system's or the program's sentence
    bool operator==(const ItemFailure &) const = default;
};

struct JobProgress {
    qint64 done = 0;
    qint64 total = 0; // 0 while unknown
    QString item;     // what is being worked on now
};

// How a job ended; the job's own value travels beside it.
struct JobReport {
    bool cancelled = false; // stopped early on a cancel; a cancel that found the work done is none
    QString error;          // a fault that stopped the whole job; empty when it ran to its end
    std::vector<ItemFailure> failures;
    qint64 done = 0;
    bool succeeded() const { return !cancelled && error.isEmpty() && failures.empty(); }
};

class JobControl {
public:
    JobControl() = default;
    JobControl(const JobControl &) = delete;
    JobControl &operator=(const JobControl &) = delete;

    // The body's poll, cheap enough per file or per record. A body that is told true stops, so
    // from then on its job counts as stopped early; a cancel that comes after the body's last
    // poll finds the work done, and the report says so.
    bool isCancelled() const
    {
        if (!m_cancelled.load(std::memory_order_relaxed))
            return false;
        m_stoppedEarly.store(true, std::memory_order_relaxed);
        return true;
    }
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    // Whether the body was told to stop: what an outcome's own `cancelled` repeats at its end,
    // where asking isCancelled() again would turn a late cancel into a stop.
    bool stoppedEarly() const { return m_stoppedEarly.load(std::memory_order_relaxed); }

    void setTotal(qint64 total) { m_total.store(total, std::memory_order_relaxed); }
    void setDone(qint64 done) { m_done.store(done, std::memory_order_relaxed); }
    void advance(qint64 by = 1) { m_done.fetch_add(by, std::memory_order_relaxed); }
    void setItem(const QString &item);

    void fail(const QString &path, const QString &reason);
    // Stops the job as a whole; the first fault given wins.
    void abort(const QString &error);

    JobProgress progress() const;
    std::vector<ItemFailure> failures() const;
    qsizetype failureCount() const;
    QString error() const;

    // The report as it stands; a finished job's final one.
    JobReport report() const;

private:
    std::atomic<bool> m_cancelled{false};
    mutable std::atomic<bool> m_stoppedEarly{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    mutable QMutex m_mutex;
    QString m_item;
    QString m_error;
    std::vector<ItemFailure> m_failures;
};

} // namespace quenda
