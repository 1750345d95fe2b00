#include "LinkClock.h"

namespace kiro {

void LinkClock::waitMs(int milliseconds, const std::function<void()>& afterEachTurn) {
    if (milliseconds < 0)
        return;
    // Whole milliseconds: past the deadline means that the full time has gone by, whatever part
    // of a millisecond the wait started in.
    const qint64 deadline = nowMs() + milliseconds;
    do {
        letEventsRun(deadline + 1);
        if (afterEachTurn)
            afterEachTurn();
    } while (nowMs() <= deadline);
}

} // namespace kiro
