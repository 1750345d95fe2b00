#pragma once

#include <QtGlobal>
#include <functional>

namespace kiro {

// The millisecond clock and event pump that every wait of the link runs on. Production reads a
// monotonic clock and lets pending user-interface events run; link tests use a virtual clock so
// that poll counts are exact.
class LinkClock {
public:
    virtual ~LinkClock() = default;

    virtual qint64 nowMs() = 0;
    // Lets pending events run once, then rests (never past deadlineMs) so that a wait does not
    // occupy a whole core.
    virtual void letEventsRun(qint64 deadlineMs) = 0;

    // A wait of the link: lets events run until at least `milliseconds` have passed, calling
    // afterEachTurn after every turn of the event pump. Nothing happens for a negative time.
    virtual void waitMs(int milliseconds, const std::function<void()>& afterEachTurn = {});
};

} // namespace kiro
