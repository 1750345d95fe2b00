#pragma once

#include <QString>
#include <optional>

namespace kiro {

// The limits of an entry: a value beyond a limit is replaced by the limit's text and the user is
// told the range. The upper test comes first.
struct RangeRule {
    enum class Upper { Above, AtOrAbove };
    enum class Lower { Below, AtOrBelow };

    double upper = 0;
    Upper upperTest = Upper::Above;
    QString upperText;
    double lower = 0;
    Lower lowerTest = Lower::Below;
    QString lowerText;
    QString message;

    // The text that replaces a value outside the range; empty when the value passes.
    std::optional<QString> replacementFor(double value) const;

    // The plain form "输入值应该满足：lo～hi" with both limits inclusive.
    static RangeRule within(int lowest, int highest);
};

} // namespace kiro
