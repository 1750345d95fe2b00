#include "BenchClock.h"

#include "link/SerialPort.h"

#include <QElapsedTimer>
#include <algorithm>

namespace {
constexpr int kSliceMs = 5;
} // namespace

void BenchClock::waitMs(int milliseconds, const std::function<void()>& afterEachTurn) {
    if (milliseconds < 0)
        return;
    waitUnlessCut(milliseconds, afterEachTurn);
    if (marginMs_ <= 0)
        return;
    bytesWaitingInTime_ = port_ ? std::max(0, port_->bytesWaiting()) : 0;
    waitUnlessCut(marginMs_, afterEachTurn);
}

void BenchClock::waitUnlessCut(int milliseconds, const std::function<void()>& afterEachTurn) {
    QElapsedTimer elapsed;
    elapsed.start();
    do {
        if (cutShort())
            return;
        const int left = int(milliseconds - elapsed.elapsed());
        EventPumpClock::waitMs(std::clamp(left, 0, kSliceMs), afterEachTurn);
    } while (elapsed.elapsed() < milliseconds);
}
