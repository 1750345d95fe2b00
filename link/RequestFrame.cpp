#include "RequestFrame.h"

#include "ModbusCodes.h"

#include <cmath>

namespace kiro {

using modbus::kReadHolding;
using modbus::kWriteMultiple;
using modbus::kWriteSingle;

std::optional<quint16> WordFromSingle(float value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(double(value)); // default rounding: halves to even
    if (rounded < 0.0 || rounded > 65535.0)
        return std::nullopt;
    return quint16(rounded);
}

QByteArray RequestFrame::bytes() const {
    QByteArray frame = data;
    frame.append(char(crc.low));
    frame.append(char(crc.high));
    return frame;
}

std::optional<RequestFrame> BuildRequestFrame(quint8 station, quint8 function, float address,
                                              float value) {
    const auto addressWord = WordFromSingle(address);
    const auto valueWord = WordFromSingle(value);
    if (!addressWord || !valueWord)
        return std::nullopt;
    RequestFrame frame;
    frame.data.reserve(6);
    frame.data.append(char(station));
    frame.data.append(char(function));
    frame.data.append(char(*addressWord >> 8));
    frame.data.append(char(*addressWord & 0xFF));
    frame.data.append(char(*valueWord >> 8));
    frame.data.append(char(*valueWord & 0xFF));
    frame.crc = ComputeCrc16(frame.data);
    return frame;
}

std::optional<qint16> ExpectedReplyLengthFor(quint8 function, float value, qint16 previous) {
    switch (function) {
    case kReadHolding: {
        const float length = 2.0f * value + 6.0f;
        if (!std::isfinite(length))
            return std::nullopt;
        const double rounded = std::nearbyint(double(length));
        if (rounded < -32768.0 || rounded > 32767.0)
            return std::nullopt;
        return qint16(rounded);
    }
    case kWriteSingle:
        return qint16(8);
    default:
        return previous;
    }
}

bool IsKnownFunction(quint8 function) {
    return function == kReadHolding || function == kWriteSingle || function == kWriteMultiple;
}

} // namespace kiro
