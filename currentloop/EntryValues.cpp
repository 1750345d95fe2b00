#include "EntryValues.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace kiro {

namespace {
constexpr double kGainMax = 65535;
constexpr double kCurrentMax = 5;
} // namespace

float ClampKp(double value) {
    if (!(value > 0))
        return 1;
    return float(value >= kGainMax ? kGainMax : value);
}

float ClampKiForStart(double value) {
    if (!(value > 0))
        return 0;
    return float(value >= kGainMax ? kGainMax : value);
}

float ClampKiForEnter(double value) {
    if (!(value > 0))
        return 1;
    return float(value >= kGainMax ? kGainMax : value);
}

float ClampTestCurrent(double value) {
    if (value >= kCurrentMax)
        value = kCurrentMax;
    if (!(value > 0))
        value = 0;
    return float(value);
}

QString PlainDecimal(float value) {
    // The shortest text that reads back as the same single-precision value, in fixed notation.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

} // namespace kiro
