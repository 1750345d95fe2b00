#pragma once

#include "LinkClock.h"

#include <QElapsedTimer>

namespace kiro {

// The real clock: monotonic milliseconds, and waits that let the event loop run and sleep in it
// until the next event or the deadline, so that windows stay live and a wait costs no processor
// time of its own. Waits are timed to a fraction of a millisecond, so that a transaction takes the
// time its waits prescribe and not a millisecond more per wait.
class EventPumpClock : public LinkClock {
public:
    EventPumpClock();
    qint64 nowMs() override;
    void letEventsRun(qint64 deadlineMs) override;
    void waitMs(int milliseconds, const std::function<void()>& afterEachTurn = {}) override;

private:
    qint64 nowNs() const { return elapsed_.nsecsElapsed(); }
    // Lets pending events run, then sleeps until the next event or deadlineNs.
    void pumpUntil(qint64 deadlineNs);

    QElapsedTimer elapsed_;
};

} // namespace kiro
