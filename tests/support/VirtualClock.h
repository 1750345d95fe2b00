#pragma once

#include "link/LinkClock.h"

#include <functional>

namespace kiro::test {

// A clock that moves only when the link waits: every turn of the event pump advances it by one
// millisecond and runs the test's event handler, if any. Poll counts become exact and fast.
class VirtualClock : public LinkClock {
public:
    qint64 nowMs() override { return now; }
    void letEventsRun(qint64) override {
        ++now;
        ++turns;
        // A handler may replace or clear itself while it runs: it runs from a copy.
        if (const std::function<void()> handler = onEvents)
            handler();
    }

    qint64 now = 1000;
    qint64 turns = 0;
    std::function<void()> onEvents;
};

} // namespace kiro::test
