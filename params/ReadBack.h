#pragma once

namespace kiro {

class ParameterWindow;

// What the window does when it opens: read the drive's parameters in the tuner's order, fill the
// controls and the DriveParams slots, set the option buttons and the filter box, and enable the
// generator buttons. A read that fails on every attempt ends it and disables the window. It runs
// as a job of the window, which shows itself when it has ended.
class ReadBack {
public:
    static void run(ParameterWindow& window);
};

} // namespace kiro
