#include "jobs/job_control.h"

#include <QMutexLocker>

namespace quenda {

void JobControl::setItem(const QString &item)
{
    const QMutexLocker lock(&m_mutex);
    m_item = item;
}

void JobControl::fail(const QString &path, const QString &reason)
{
    const QMutexLocker lock(&m_mutex);
    m_failures.push_back({path, reason});
}

void JobControl::abort(const QString &error)
{
    abort(quenda::fail(error));
}

void JobControl::abort(const Error &error)
{
    const QMutexLocker lock(&m_mutex);
    if (!m_error)
        m_error = error;
}

JobProgress JobControl::progress() const
{
    JobProgress p;
    p.done = m_done.load(std::memory_order_relaxed);
    p.total = m_total.load(std::memory_order_relaxed);
    p.part = m_part.load(std::memory_order_relaxed);
    p.partsDone = m_partsDone.load(std::memory_order_relaxed);
    p.parts = m_parts.load(std::memory_order_relaxed);
    const QMutexLocker lock(&m_mutex);
    p.item = m_item;
    return p;
}

std::vector<ItemFailure> JobControl::failures() const
{
    const QMutexLocker lock(&m_mutex);
    return m_failures;
}

qsizetype JobControl::failureCount() const
{
    const QMutexLocker lock(&m_mutex);
    return static_cast<qsizetype>(m_failures.size());
}

Status JobControl::status() const
{
    const QMutexLocker lock(&m_mutex);
    return m_error ? Status(*m_error) : Status();
}

JobReport JobControl::report() const
{
    JobReport r;
    r.cancelled = stoppedEarly();
    r.done = m_done.load(std::memory_order_relaxed);
    const QMutexLocker lock(&m_mutex);
    if (m_error)
        r.status = *m_error;
    r.failures = m_failures;
    return r;
}

} // namespace quenda
