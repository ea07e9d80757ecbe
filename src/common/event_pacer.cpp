#include "common/event_pacer.h"

#include <QCoreApplication>

namespace quenda {

EventPacer::EventPacer(int intervalMs) : m_intervalMs(intervalMs)
{
    m_timer.start();
}

bool EventPacer::due() const
{
    return m_timer.elapsed() >= m_intervalMs;
}

bool EventPacer::pump()
{
    if (!due())
        return false;
    force();
    return true;
}

void EventPacer::force()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    m_timer.restart();
}

} // namespace quenda
