#include "RangeRule.h"

namespace kiro {

std::optional<QString> RangeRule::replacementFor(double value) const {
    const bool aboveUpper = upperTest == Upper::Above ? value > upper : value >= upper;
    if (aboveUpper)
        return upperText;
    const bool belowLower = lowerTest == Lower::Below ? value < lower : value <= lower;
    if (belowLower)
        return lowerText;
    return std::nullopt;
}

RangeRule RangeRule::within(int lowest, int highest) {
    RangeRule rule;
    rule.upper = highest;
    rule.upperText = QString::number(highest);
    rule.lower = lowest;
    rule.lowerText = QString::number(lowest);
    rule.message = QStringLiteral("输入值应该满足：%1～%2").arg(lowest).arg(highest);
    return rule;
}

} // namespace kiro
