#pragma once

#include <cstdint>

namespace regprobe {

// Modbus CRC-16 (start 0xFFFF, reflected polynomial 0xA001), worked out bit by bit so that the
// probe needs no table and no code of the tuners. The low byte of the result is sent first.
std::uint16_t ProbeCrc16(const std::uint8_t* bytes, int count);

} // namespace regprobe
