#pragma once

namespace kiro {

// The link lamp in the main window's status bar: busy while the retrying routines talk to the
// drive, idle when they are done.
class StatusDisplay {
public:
    virtual ~StatusDisplay() = default;
    virtual void showBusy() = 0;
    virtual void showIdle() = 0;
};

} // namespace kiro
