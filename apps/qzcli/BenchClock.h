#pragma once

#include "link/EventPumpClock.h"

#include <functional>

namespace kiro {
class SerialPort;
}

// The link's clock in qzcli: the tuners' clock, with two differences a bench needs.
// - The reply margin: extra milliseconds on every wait, for serial adapters that deliver a reply
//   later than the drive sends it. With a margin, the clock also notes how many bytes were waiting
//   when the wait without it would have ended, so that the trace can mark a reply as late.
// - A command that a signal ends does not sit out the wait it is in: once cutShort() answers
//   true, every wait returns at once and the transaction fails quickly, so that the command can
//   take the drive out of its test mode and exit.
class BenchClock : public kiro::EventPumpClock {
public:
    void setReplyMarginMs(int margin) { marginMs_ = margin; }
    void setCutShort(std::function<bool()> cutShort) { cutShort_ = std::move(cutShort); }
    // The port whose waiting bytes are noted when a wait's unpadded time is up.
    void watchPort(kiro::SerialPort* port) { port_ = port; }

    void waitMs(int milliseconds, const std::function<void()>& afterEachTurn = {}) override;

    // Bytes waiting on the watched port when the last wait's own time was up, before the margin.
    int bytesWaitingInTime() const { return bytesWaitingInTime_; }

private:
    bool cutShort() const { return cutShort_ && cutShort_(); }
    // Waits in slices short enough to notice a signal at once.
    void waitUnlessCut(int milliseconds, const std::function<void()>& afterEachTurn);

    int marginMs_ = 0;
    std::function<bool()> cutShort_;
    kiro::SerialPort* port_ = nullptr;
    int bytesWaitingInTime_ = 0;
};
