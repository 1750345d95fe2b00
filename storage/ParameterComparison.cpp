#include "ParameterComparison.h"

#include "link/RequestFrame.h"

namespace kiro {

namespace {

QString driveValue(int index, quint16 raw) {
    if (index == kAmperesIndex)
        return ShortestDecimal(float(raw / 1024.0));
    return QString::number(raw);
}

} // namespace

DriveComparison CompareParameters(DriveLink& link, const ParameterSet& set,
                                  const ParameterProgress& progress) {
    const std::optional<ParameterWords> words = ReadAllParameterWords(link, progress);
    if (!words)
        return {DriveComparison::Outcome::DriveFailed, {}, 0};
    DriveComparison comparison;
    comparison.compared = kParameterCount;
    for (int index = 0; index < kParameterCount; ++index) {
        const auto i = std::size_t(index);
        const float value = set.ParamValues[i];
        const quint16 held = (*words)[i];
        // The link rounds what it sends to a whole word; a value it cannot send never matches.
        const std::optional<quint16> sent = WordFromSingle(RawToSend(index, value));
        if (sent && *sent == held)
            continue;
        comparison.differences.append({RegisterOf(index), set.ParamNames[i], ShortestDecimal(value),
                                       driveValue(index, held)});
    }
    comparison.outcome = comparison.differences.isEmpty() ? DriveComparison::Outcome::Same
                                                          : DriveComparison::Outcome::Differs;
    return comparison;
}

} // namespace kiro
