#include "EntryValues.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace kiro {

namespace {
constexpr double kGainMax = 65535;
constexpr double kCurrentMax = 5;

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
} // namespace

double LeadingNumber(const QString& text) {
    qsizetype at = 0;
    const qsizetype end = text.size();
    while (at < end && (text[at] == QLatin1Char(' ') || text[at] == QLatin1Char('\t')))
        ++at;
    std::string number;
    if (at < end && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-')))
        number += char(text[at++].toLatin1());
    bool digits = false;
    while (at < end && isDigit(text[at])) {
        number += char(text[at++].toLatin1());
        digits = true;
    }
    if (at < end && text[at] == QLatin1Char('.')) {
        number += '.';
        ++at;
        while (at < end && isDigit(text[at])) {
            number += char(text[at++].toLatin1());
            digits = true;
        }
    }
    if (!digits)
        return 0;
    // An exponent counts only when digits follow it: "2e" is 2.
    if (at < end && QStringLiteral("eEdD").contains(text[at])) {
        std::string exponent = "e";
        qsizetype next = at + 1;
        if (next < end && (text[next] == QLatin1Char('+') || text[next] == QLatin1Char('-')))
            exponent += char(text[next++].toLatin1());
        bool exponentDigits = false;
        while (next < end && isDigit(text[next])) {
            exponent += char(text[next++].toLatin1());
            exponentDigits = true;
        }
        if (exponentDigits)
            number += exponent;
    }
    const double value = std::strtod(number.c_str(), nullptr);
    // strtod gives HUGE_VAL on overflow, which is what the clamps expect.
    return std::isnan(value) ? 0 : value;
}

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
