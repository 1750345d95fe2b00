#pragma once

namespace kiro {

class DriveWork;
class ShellState;

// "保存当前参数": tells the drive to store the parameters it runs with in its EEPROM, so that
// they survive a power cycle. Twelve attempts; one message at the end either way.
class EepromCommit {
public:
    // Submits the commit as a job of `work`. Ignored while the drive is in use with another
    // transaction: the command would otherwise only run later, when the user no longer expects it.
    static void run(ShellState& state, DriveWork& work);
};

} // namespace kiro
