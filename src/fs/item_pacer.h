#pragma once
// Lets a walk name its current item at most every 100 ms: building the text for every file
// would cost more than the work it describes. The coarse clock needs no system call.

#include <QtGlobal>

#include <ctime>

namespace quenda {

class ItemPacer {
public:
    bool due()
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
        const qint64 ms = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
        if (ms - m_last < 100)
            return false;
        m_last = ms;
        return true;
    }

private:
    qint64 m_last = -1000;
};

} // namespace quenda
