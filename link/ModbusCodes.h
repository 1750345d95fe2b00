#pragma once

#include <QtGlobal>

namespace kiro::modbus {

// The drive answers at station 1, the only station a tuner talks to.
constexpr quint8 kDriveStation = 1;

// Function codes of the requests a tuner makes.
constexpr quint8 kReadHolding = 3;
constexpr quint8 kWriteSingle = 6;
constexpr quint8 kWriteMultiple = 10;

} // namespace kiro::modbus
