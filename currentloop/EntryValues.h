#pragma once

#include "link/LeadingNumber.h"

#include <QString>

namespace kiro {

// What the current-loop window's entries hold: the ranges each value
// is brought into before it reaches the drive, and how a value is written back into its entry.

// Kp, both on Start and on Enter: not above 0 gives 1, 65535 or more gives 65535.
float ClampKp(double value);
// Ki on Start: not above 0 gives 0.
float ClampKiForStart(double value);
// Ki on Enter: not above 0 gives 1.
float ClampKiForEnter(double value);
// The step current in amperes: 5 or more gives 5, then not above 0 gives 0.
float ClampTestCurrent(double value);

// Plain decimal notation, never an exponent: 65535, 1.5, 0.0001.
QString PlainDecimal(float value);

} // namespace kiro
