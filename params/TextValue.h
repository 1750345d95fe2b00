#pragma once

#include "link/LeadingNumber.h"

#include <QString>

namespace kiro {

// A register value as the entries show it: the shortest decimal text, no fraction for whole
// values.
QString DecimalText(double value);

} // namespace kiro
