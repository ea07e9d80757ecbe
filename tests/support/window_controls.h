#pragma once
// Reaching a window's private controls the way a user names them: by object name.

#include "jobs/job_control.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace quenda::test {

// The child of that name and type; a missing one fails the test (gtest reports the exception).
template <class T> T *control(const QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        throw std::runtime_error(std::string("no control named ") + name);
    return found;
}

// Cancels the job once it has done `after` items of a known total: a stand-in for the user's
// Cancel in the middle of a long action. Joins on destruction.
class CancelAfter {
public:
    CancelAfter(JobControl &control, qint64 after)
        : m_thread([&control, after, this] {
              for (JobProgress p = control.progress();
                   !m_stop.load() && (p.total == 0 || p.done < after); p = control.progress())
                  std::this_thread::yield();
              control.cancel();
          })
    {
    }
    ~CancelAfter()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace quenda::test
