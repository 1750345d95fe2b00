#include "EventPumpClock.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <thread>

namespace kiro {

namespace {
constexpr qint64 kNsPerMs = 1000000;
} // namespace

EventPumpClock::EventPumpClock() {
    elapsed_.start();
}

qint64 EventPumpClock::nowMs() {
    return elapsed_.elapsed();
}

void EventPumpClock::letEventsRun(qint64 deadlineMs) {
    pumpUntil(deadlineMs * kNsPerMs);
}

void EventPumpClock::waitMs(int milliseconds, const std::function<void()>& afterEachTurn) {
    if (milliseconds < 0)
        return;
    const qint64 deadline = nowNs() + milliseconds * kNsPerMs;
    do {
        pumpUntil(deadline);
        if (afterEachTurn)
            afterEachTurn();
    } while (nowNs() < deadline);
}

void EventPumpClock::pumpUntil(qint64 deadlineNs) {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    const qint64 left = deadlineNs - nowNs();
    if (left <= 0)
        return;
    if (left < kNsPerMs || !QCoreApplication::instance()) {
        // Less than a timer's resolution: the rest is slept off, to the fraction.
        std::this_thread::sleep_for(std::chrono::nanoseconds(left));
        return;
    }
    // Sleeps in the event loop until something happens (a byte on the port, a click, a timer) or
    // the whole milliseconds left have gone; the timer is only there to wake the loop in time.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(int(left / kNsPerMs));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace kiro
