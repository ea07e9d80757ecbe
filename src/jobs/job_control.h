#pragma once
// What a long action sees while it runs, on whatever thread runs it: a cancel request to poll,
// counters and the item now worked on for whoever shows progress, and the list of items that
// failed. Logic functions take a JobControl & and never know whether a window, the command line
// or a test watches them. Every member is safe to call from any thread.

#include "common/result.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <optional>
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
    // The outer level of a job made of parts (folders, rows), whose done/total count the
    // bytes or items of one part or of all of them: the part at hand (its index in the job's
    // list, -1 before the first) and the parts done of parts (0 for a job without parts).
    qint64 part = -1;
    qint64 partsDone = 0;
    qint64 parts = 0;
    bool operator==(const JobProgress &) const = default;
};

// How a job ended; the job's own value travels beside it.
struct JobReport {
    bool cancelled = false; // stopped early on a cancel; a cancel that found the work done is none
    Status status;          // failed with the fault that stopped the whole job; ok when it ran on
    std::vector<ItemFailure> failures;
    qint64 done = 0;
    bool succeeded() const { return !cancelled && status.ok() && failures.empty(); }
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
    void setParts(qint64 parts) { m_parts.store(parts, std::memory_order_relaxed); }
    void startPart(qint64 part) { m_part.store(part, std::memory_order_relaxed); }
    void finishPart() { m_partsDone.fetch_add(1, std::memory_order_relaxed); }

    void fail(const QString &path, const QString &reason);
    // Stops the job as a whole; the first fault given wins.
    void abort(const QString &error);
    void abort(const Error &error);

    JobProgress progress() const;
    std::vector<ItemFailure> failures() const;
    qsizetype failureCount() const;
    // Failed once the job was stopped as a whole.
    Status status() const;

    // The report as it stands; a finished job's final one.
    JobReport report() const;

private:
    std::atomic<bool> m_cancelled{false};
    mutable std::atomic<bool> m_stoppedEarly{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    std::atomic<qint64> m_part{-1};
    std::atomic<qint64> m_partsDone{0};
    std::atomic<qint64> m_parts{0};
    mutable QMutex m_mutex;
    QString m_item;
    std::optional<Error> m_error;
    std::vector<ItemFailure> m_failures;
};

} // namespace quenda
