#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace regprobe {

// An event that stays set until somebody resets it, so that a waiter that comes late still sees it.
// The watcher and the reader hand the received bytes over through two of these.
class ManualResetEvent {
public:
    void set();
    void reset();
    bool isSet() const;
    // Returns true when the event is set, false when the time ran out first.
    bool wait(std::chrono::milliseconds timeout);
    void waitForever();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

} // namespace regprobe
