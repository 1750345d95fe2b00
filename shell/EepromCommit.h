#pragma once

namespace kiro {

class DriveWork;
class ShellState;

// "保存当前参数": tells the drive to store the parameters it runs with in its EEPROM, so that
// they survive a power cycle. Twelve attempts; one message at the end either way.
class EepromCommit {
public:
    // Submits the commit as a job of `work`, carried out in turn after any work that holds the
    // drive. Refused only while the port is closed.
    static void run(ShellState& state, DriveWork& work);
    // The commit did not happen: the link gave up before it could run.
    static void tellNotDone(ShellState& state);
};

} // namespace kiro
