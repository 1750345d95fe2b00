#include "LeadingNumber.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace kiro {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Appends the digits from at on to number; returns whether there were any.
bool takeDigits(const QString& text, qsizetype& at, std::string& number) {
    const qsizetype start = at;
    while (at < text.size() && isDigit(text[at]))
        number += char(text[at++].toLatin1());
    return at > start;
}

} // namespace

double LeadingNumber(const QString& text) {
    qsizetype at = 0;
    const qsizetype end = text.size();
    while (at < end && text[at].isSpace())
        ++at;
    std::string number;
    bool negative = false;
    if (at < end && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-'))) {
        negative = text[at] == QLatin1Char('-');
        if (negative)
            number += '-';
        ++at;
    }
    bool digits = takeDigits(text, at, number);
    if (at < end && text[at] == QLatin1Char('.')) {
        number += '.';
        ++at;
        digits = takeDigits(text, at, number) || digits;
    }
    if (!digits)
        return 0;

    // An exponent counts only when digits follow it.
    bool negativeExponent = false;
    if (at < end && QStringLiteral("eEdD").contains(text[at])) {
        std::string exponent = "e";
        qsizetype next = at + 1;
        if (next < end && (text[next] == QLatin1Char('+') || text[next] == QLatin1Char('-'))) {
            negativeExponent = text[next] == QLatin1Char('-');
            exponent += char(text[next++].toLatin1());
        }
        if (takeDigits(text, next, exponent))
            number += exponent;
        else
            negativeExponent = false;
    }

    double value = 0;
    const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (error == std::errc::result_out_of_range) {
        if (negativeExponent)
            return 0;
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    return error == std::errc() ? value : 0;
}

} // namespace kiro
