#pragma once

#include "FaultWord.h"

#include <optional>

namespace kiro {

class DriveLink;

// What the two clear commands of register 16 clear in the drive.
enum class FaultClear {
    Current = 0, // the faults the drive has now
    History = 1, // the fault history
};

// Each transaction of the fault query is tried up to five times; neither routine shows the link
// failure message, so that the window and qzcli can each say it their own way. Neither takes the
// link for itself: the window runs them as jobs of the drive-work queue, which holds it.

// Reads the ten fault words in one request (registers 16 to 25). Nothing when the drive has not
// answered correctly after five attempts.
std::optional<FaultWords> ReadFaultWords(DriveLink& link);

// Writes the clear command and waits for the drive to carry it out. False when the drive has not
// confirmed it after five attempts.
bool ClearFaults(DriveLink& link, FaultClear which);

// The clear command and then the fault words as the drive holds them after it: nothing when
// either gave up.
std::optional<FaultWords> ClearFaultsAndRead(DriveLink& link, FaultClear which);

} // namespace kiro
