#include "EventPumpClock.h"

#include <QCoreApplication>
#include <QThread>

namespace kiro {

EventPumpClock::EventPumpClock() {
    elapsed_.start();
}

qint64 EventPumpClock::nowMs() {
    return elapsed_.elapsed();
}

void EventPumpClock::letEventsRun(qint64 deadlineMs) {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (nowMs() < deadlineMs)
        QThread::msleep(1);
}

} // namespace kiro
