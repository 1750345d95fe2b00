#include "Crc16.h"

namespace kiro {

Crc16 ComputeCrc16(const QByteArray& bytes) {
    Crc16 crc;
    for (const char byte : bytes) {
        crc.low ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = crc.low & 0x01;
            crc.low = quint8((crc.low >> 1) | ((crc.high & 0x01) << 7));
            crc.high = quint8(crc.high >> 1);
            if (carry) {
                crc.high ^= 0xA0;
                crc.low ^= 0x01;
            }
        }
    }
    return crc;
}

} // namespace kiro
