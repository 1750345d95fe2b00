#pragma once

#include "DriveComparison.h"
#include "ParameterSet.h"
#include "ParameterTableSequences.h"

namespace kiro {

// Reads the 15 registers as the parameter table reads them and compares each with the word that
// writing the set sends; the caller holds a DriveLink::Session around it. A difference carries
// the set's name of the parameter and both values as a parameter file writes them, the current
// in amperes: the file's number, and the drive's content exactly (never rounded to two decimals,
// so that a current one step off cannot look equal).
DriveComparison CompareParameters(DriveLink& link, const ParameterSet& set,
                                  const ParameterProgress& progress = {});

} // namespace kiro
