#pragma once

namespace quenda {

// Shows the busy pointer for its lifetime, so every way out of a long action restores it.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace quenda
