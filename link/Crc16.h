#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace kiro {

// CRC-16/MODBUS held as the two bytes that travel in a frame, low byte first.
struct Crc16 {
    quint8 low = 0xFF;
    quint8 high = 0xFF;

    quint16 value() const { return quint16(high << 8 | low); }
};

// Covers the whole array, bit by bit as the drive computes it.
Crc16 ComputeCrc16(const QByteArray& bytes);

} // namespace kiro
