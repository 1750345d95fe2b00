#pragma once

namespace kiro {

class ShellState;

// "保存当前参数": tells the drive to store the parameters it runs with in its EEPROM, so that
// they survive a power cycle. Twelve attempts; one message at the end either way.
class EepromCommit {
public:
    // Does nothing while the link is busy with another transaction: the command would otherwise
    // interleave its frames with the running one.
    static void run(ShellState& state);
};

} // namespace kiro
