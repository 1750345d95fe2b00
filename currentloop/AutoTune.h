#pragma once

#include <QtGlobal>
#include <functional>
#include <optional>

namespace kiro {

class DriveLink;

// The gains the drive holds after tuning its current loop; a gain whose read failed is missing
// (the link has told the user already).
struct AutoTuneResult {
    std::optional<quint16> kp;
    std::optional<quint16> ki;
};

// The drive's own tuning of the current loop: register 97 := 1, the notice (the drive tunes while
// the user reads it), then Kp and Ki read back as the drive returns them. Every step runs whatever
// the outcome of the one before; the link's own retries report a failure.
AutoTuneResult RunAutoTune(DriveLink& link, const std::function<void()>& notice);

} // namespace kiro
