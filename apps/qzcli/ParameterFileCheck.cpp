#include "ParameterFileCheck.h"

std::optional<QString> RefusalForScript(const kiro::ParameterSet& set,
                                        const ParameterFileRules& rules) {
    for (int index = 0; index < kiro::kParameterCount; ++index) {
        const auto i = std::size_t(index);
        const int line = index + 1;
        const QString& builtIn = kiro::BuiltInParamNames()[i];
        if (!rules.byPosition && set.ParamNames[i] != builtIn)
            return QStringLiteral("line %1 is named \"%2\" where \"%3\" (register %4) belongs; "
                                  "nothing was written (--by-position loads the lines by their "
                                  "position whatever their names)")
                .arg(line)
                .arg(set.ParamNames[i], builtIn)
                .arg(kiro::RegisterOf(index));
        const float value = set.ParamValues[i];
        const kiro::ValidRange range = kiro::ParamValidRanges()[i];
        if (!rules.force && (value < range.lowest || value > range.highest))
            return QStringLiteral("line %1: %2 is outside the valid range of \"%3\" (register %4, "
                                  "%5); nothing was written (--force writes it all the same)")
                .arg(line)
                .arg(kiro::ShortestDecimal(value), builtIn)
                .arg(kiro::RegisterOf(index))
                .arg(ValidRangeText(index));
    }
    return std::nullopt;
}

QString ValidRangeText(int index) {
    const kiro::ValidRange range = kiro::ParamValidRanges()[std::size_t(index)];
    return QStringLiteral("%1 to %2%3")
        .arg(kiro::ShortestDecimal(range.lowest), kiro::ShortestDecimal(range.highest),
             index == kiro::kAmperesIndex ? QStringLiteral(" A") : QString());
}
