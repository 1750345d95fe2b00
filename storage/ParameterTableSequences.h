#pragma once

#include "ParameterSet.h"

#include <functional>
#include <optional>

namespace kiro {

class DriveLink;

// The drive sequences of the QZ318 parameter table, shared by its window and qzcli. Each reaches
// the drive through the link only, one register per transaction at station 1; the caller shows
// the outcome. In a tuner each runs inside a job of the drive-work queue, which holds the link.

// Called before the transactions of each index, so that a caller can show progress.
using ParameterProgress = std::function<void(int index)>;

// Reads the 15 registers. FailedAttempts counts over the whole read: eleven repeated requests in
// all are tolerated, the twelfth failed attempt ends the read (empty result, TuningIdle set).
std::optional<ParameterValues> ReadAllParameters(DriveLink& link,
                                                 const ParameterProgress& progress = {});

// The same read, giving the registers' unsigned contents rather than the held values (which
// round the current to two decimals).
using ParameterWords = std::array<quint16, kParameterCount>;
std::optional<ParameterWords> ReadAllParameterWords(DriveLink& link,
                                                    const ParameterProgress& progress = {});

// Writes the 15 values with WriteRegister, 50 ms apart. A register that fails (reported by
// WriteRegister) does not stop the others; true only when every write succeeded.
bool WriteAllParameters(DriveLink& link, const ParameterValues& values,
                        const ParameterProgress& progress = {});
bool WriteFactoryDefaults(DriveLink& link, const ParameterProgress& progress = {});

// Register 12 := 1, with the long waits the drive needs to write its EEPROM; twelve attempts
// (TuningIdle set when they all fail).
bool CommitToEeprom(DriveLink& link);

// The factory defaults written and, only when every one of them arrived, committed to the EEPROM:
// defaults that did not all arrive are not committed, and the EEPROM keeps what it held.
// progress(index) comes before each default is written, progress(kParameterCount) before the
// commit.
enum class FactoryReset { Done, DefaultsNotAllWritten, CommitFailed };
FactoryReset ResetToFactoryDefaults(DriveLink& link, const ParameterProgress& progress = {});

} // namespace kiro
