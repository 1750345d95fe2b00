#pragma once

#include "sim/CurrentLoopModel.h"

#include <array>

namespace kiro::sim {

// Windings with electrical time constants from long to short, for trying a gain search on more
// than the default motor.
struct NamedMotor {
    const char* name;
    Motor motor;
};

inline constexpr std::array<NamedMotor, 3> kSampleWindings{{
    {"slow", {0.6, 0.005, 48}},     // 8.3 ms
    {"nominal", {1.2, 0.0036, 48}}, // 3 ms, the simulated drive's default
    {"fast", {3.0, 0.0012, 36}},    // 0.4 ms
}};

} // namespace kiro::sim
