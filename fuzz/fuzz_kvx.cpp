// Feeds arbitrary bytes to the parameter file (.kvx) reader. A file that opens must hold values
// its registers can take and names that survive a save: saving it and opening the result gives
// the same names and the same values, up to the seven digits the file keeps.

#include "storage/ParameterFile.h"

#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

bool sameValue(float a, float b) {
    return std::fabs(a - b) <= 1e-6f * std::fmax(1.0f, std::fabs(a));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const kiro::ParameterFileReading reading = kiro::DecodeParameterFile(bytes);
    if (!reading.set) {
        if (reading.problem.isEmpty())
            __builtin_trap();
        return 0;
    }
    const kiro::ParameterSet& set = *reading.set;
    for (int index = 0; index < kiro::kParameterCount; ++index) {
        const auto i = std::size_t(index);
        if (!kiro::FitsRegister(index, set.ParamValues[i]))
            __builtin_trap();
        const QString& name = set.ParamNames[i];
        if (name.contains(QLatin1Char('=')) || name.contains(QLatin1Char('\r')) ||
            name.contains(QLatin1Char('\n')))
            __builtin_trap();
    }

    const auto saved = kiro::EncodeParameterFile(set);
    if (!saved)
        return 0; // a name that code page 936 cannot carry is refused on saving
    const kiro::ParameterFileReading again = kiro::DecodeParameterFile(*saved);
    if (!again.set)
        __builtin_trap();
    for (int index = 0; index < kiro::kParameterCount; ++index) {
        const auto i = std::size_t(index);
        if (again.set->ParamNames[i] != set.ParamNames[i] ||
            !sameValue(again.set->ParamValues[i], set.ParamValues[i]))
            __builtin_trap();
    }
    return 0;
}
