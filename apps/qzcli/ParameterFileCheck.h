#pragma once

#include "storage/ParameterSet.h"

#include <QString>
#include <optional>

// What a person sees in the parameter table before writing a file to the drive, qzcli checks
// itself: a script has no table to look at, and a file whose lines are swapped or edited by hand
// would otherwise write, say, a microstep count into the peak current.
struct ParameterFileRules {
    bool byPosition = false; // names need not be the built-in names: the line's position decides
    bool force = false;      // values outside the valid ranges are written too
};

// Why the set must not be written, naming the first line that fails; nullopt when it may.
std::optional<QString> RefusalForScript(const kiro::ParameterSet& set,
                                        const ParameterFileRules& rules);

// The valid range of a parameter as a person reads it: "0 to 3000", "0.1 to 5.6 A".
QString ValidRangeText(int index);
