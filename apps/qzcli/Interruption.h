#pragma once

// Ctrl+C while a command runs a series of drive jobs. The signal handler only takes note; the
// command looks between two jobs and ends the series cleanly, leaving the drive as it should be.
// A second Ctrl+C ends the program at once, for a drive that keeps a job from ending.
class InterruptionGuard {
public:
    InterruptionGuard();
    ~InterruptionGuard();
    InterruptionGuard(const InterruptionGuard&) = delete;
    InterruptionGuard& operator=(const InterruptionGuard&) = delete;

    bool interrupted() const;
};
