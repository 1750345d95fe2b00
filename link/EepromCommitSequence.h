#pragma once

namespace kiro {

class DriveLink;

// Register 12 := 1 as the qztune-x7 tuner sends it, making the drive store its running parameters
// in its EEPROM: each attempt waits the reply time and then 120 ms more, for the drive to write
// its EEPROM, before the reply is polled. Twelve attempts; a port fault ends at once (the link has
// reported it). True when the drive acknowledged; the caller tells the user.
class EepromCommitSequence {
public:
    static constexpr int kExtraWaitMs = 120;

    static bool run(DriveLink& link);
};

} // namespace kiro
