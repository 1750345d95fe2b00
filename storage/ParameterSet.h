#pragma once

#include <QString>
#include <array>
#include <optional>

namespace kiro {

// The fifteen main parameters of a QZ318 drive as the parameter table shows them: each index is
// tied to one register (reg::ParameterTableRegisters). Every value is held as the register's raw
// content, except the user-set current, which is held in amperes.
constexpr int kParameterCount = 15;
constexpr int kAmperesIndex = 2;

using ParameterNames = std::array<QString, kParameterCount>;
using ParameterValues = std::array<float, kParameterCount>;

// The names a drive's parameters carry until a parameter file brings its own.
const ParameterNames& BuiltInParamNames();
// Shown to the user only: no value is ever compared with them.
const std::array<QString, kParameterCount>& ParamRanges();
// The valid range of each parameter as its range text states it, as numbers (the current in
// amperes). The parameter table shows the texts and compares nothing with them; qzcli, which shows
// no table before it writes a file, checks a file's values against these.
struct ValidRange {
    float lowest;
    float highest;
};
const std::array<ValidRange, kParameterCount>& ParamValidRanges();
// What a factory reset writes.
const ParameterValues& ParamDefaults();

quint16 RegisterOf(int index);

// A set as the table holds it, and as a parameter file carries it.
struct ParameterSet {
    ParameterNames ParamNames = BuiltInParamNames();
    ParameterValues ParamValues{};

    bool operator==(const ParameterSet&) const = default;
};

// The held value of a register read from the drive: raw, or for the current amperes rounded to
// two decimals.
float HeldFromRaw(int index, quint16 raw);
// The value sent to the register for a held value; the link rounds it to a whole word.
float RawToSend(int index, float held);
// Whether a held value can be written to its register at all: raw 0 to 65535, or 0 to 63.99 A.
bool FitsRegister(int index, float held);

// A number as a person reads it: the shortest decimal form with up to seven significant digits,
// without exponent ("2.5", "1000", "0.5").
QString ShortestDecimal(float value);

} // namespace kiro
