#include "ProbeCrc16.h"

namespace regprobe {

std::uint16_t ProbeCrc16(const std::uint8_t* bytes, int count) {
    std::uint16_t crc = 0xFFFF;
    for (int i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = crc & 1;
            crc >>= 1;
            if (carry)
                crc ^= 0xA001;
        }
    }
    return crc;
}

} // namespace regprobe
