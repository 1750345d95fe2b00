#pragma once

#include "LinkClock.h"

#include <QElapsedTimer>

namespace kiro {

// The real clock: monotonic milliseconds, and a wait that lets the event loop run and then sleeps
// a millisecond, so that windows stay live without a wait spinning a core.
class EventPumpClock : public LinkClock {
public:
    EventPumpClock();
    qint64 nowMs() override;
    void letEventsRun(qint64 deadlineMs) override;

private:
    QElapsedTimer elapsed_;
};

} // namespace kiro
