#include "ManualResetEvent.h"

namespace regprobe {

void ManualResetEvent::set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void ManualResetEvent::reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool ManualResetEvent::isSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool ManualResetEvent::wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return set_; });
}

void ManualResetEvent::waitForever() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
}

} // namespace regprobe
