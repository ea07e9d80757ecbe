#pragma once

#include <QElapsedTimer>

namespace quenda {

// Keeps a window responsive during a long action without paying for an event loop pass per
// item: pump() processes pending events only when the interval has passed since the last time.
class EventPacer {
public:
    explicit EventPacer(int intervalMs = 30);
    bool due() const;
    // Returns true when events were processed.
    bool pump();
    void force();

private:
    QElapsedTimer m_timer;
    int m_intervalMs;
};

} // namespace quenda
