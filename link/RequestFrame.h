#pragma once

#include "Crc16.h"

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace kiro {

// Addresses and values travel between the windows and the link as single-precision numbers. They
// become a 16-bit word by rounding to the nearest integer, halves to even; anything that does not
// fit 0..65535 (or is not a number) cannot be sent.
std::optional<quint16> WordFromSingle(float value);

struct RequestFrame {
    QByteArray data; // station, function, address high/low, value high/low
    Crc16 crc;

    QByteArray bytes() const; // the 8 bytes on the wire
};

// Empty when the address or the value does not fit a 16-bit word.
std::optional<RequestFrame> BuildRequestFrame(quint8 station, quint8 function, float address,
                                              float value);

// The reply length a request announces: 2 * count + 6 for a read, 8 for a write; other functions
// keep the previous length. Empty when a read is too long for a 16-bit length.
std::optional<qint16> ExpectedReplyLengthFor(quint8 function, float value, qint16 previous);

// True for the functions whose replies the link knows how to wait for.
bool IsKnownFunction(quint8 function);

} // namespace kiro
