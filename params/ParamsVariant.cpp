#include "ParamsVariant.h"

#include "link/RegisterMap.h"
#include "shell/Variant.h"

namespace kiro {

namespace {

using Item = ParamsVariant::ReadBackItem;
using Target = ParamsVariant::ReadBackItem::Target;

RangeRule rule(double upper, RangeRule::Upper upperTest, const char* upperText, double lower,
               RangeRule::Lower lowerTest, const char* lowerText, const char* message) {
    return RangeRule{upper,
                     upperTest,
                     QString::fromUtf8(upperText),
                     lower,
                     lowerTest,
                     QString::fromUtf8(lowerText),
                     QString::fromUtf8(message)};
}

constexpr auto Above = RangeRule::Upper::Above;
constexpr auto AtOrAbove = RangeRule::Upper::AtOrAbove;
constexpr auto Below = RangeRule::Lower::Below;
constexpr auto AtOrBelow = RangeRule::Lower::AtOrBelow;

// Both drives take the suppression coefficient alike; a value below 1 becomes 0, not 1.
const RangeRule kSuppressionRule =
    rule(6000, Above, "6000", 1, Below, "0", "请输入合理的抑制系数(0～6000)！");

// The resonance zones, as both drives read them back: amplitude and phase of each point.
QVector<Item> resonanceSliders(int firstSlot, bool withThresholds) {
    QVector<Item> items;
    int slot = firstSlot;
    const quint16 firsts[] = {reg::Resonance1Amplitude, reg::Resonance2Amplitude,
                              reg::Resonance3Amplitude};
    for (int zone = 1; zone <= 3; ++zone) {
        const quint16 first = firsts[zone - 1];
        items.append({first, slot++, Target::AmplitudeSlider, zone});
        items.append({quint16(first + 1), slot++, Target::PhaseSlider, zone});
        if (withThresholds) {
            items.append({quint16(first + 2), slot++, Target::LowerThreshold, zone});
            items.append({quint16(first + 3), slot++, Target::UpperThreshold, zone});
        } else if (zone < 3) {
            slot += 2; // the QZ318 table leaves the threshold slots of the first two points free
        }
    }
    return items;
}

} // namespace

const ParamsVariant& ParamsVariant::x7() {
    static const ParamsVariant variant = [] {
        ParamsVariant v;
        v.placeTwips = QPoint(0, 0);
        v.frameWidthTwips = 6255;
        v.frames = {{{1620, 1215}, {120, 1500}, {2880, 1215}, {4140, 1215}, {5400, 855}}};
        constexpr int kTop = 360;
        constexpr int kBox = 555;
        v.entries = {
            {9,
             QStringLiteral("PeakCur(A):"),
             {120, kTop},
             {1080, kTop},
             kBox,
             QStringLiteral("3"),
             reg::PeakCurrent,
             0,
             rule(7, AtOrAbove, "7", 0, AtOrBelow, "0", "请输入合理的峰值电流(0～7.0A)！"),
             true,
             true},
            {0,
             QStringLiteral("Idle Current(%):"),
             {1680, kTop},
             {2760, kTop},
             kBox,
             QStringLiteral("50"),
             reg::IdleCurrentPercent,
             2,
             rule(100, Above, "100", 1, Below, "1", "请输入合理的待机电流(1～100)！"),
             false,
             true},
            {8,
             QStringLiteral("速度(rpm)："),
             {3330, kTop},
             {4185, kTop},
             kBox,
             QStringLiteral("8"),
             reg::SpeedOrMicrosteps,
             1,
             rule(1500, Above, "1500", 1, Below, "1", "请输入合理的速度值(1～1500)！"),
             false,
             true},
            {5,
             QStringLiteral("抑制系数:"),
             {4800, kTop},
             {5600, kTop},
             kBox,
             QStringLiteral("2000"),
             reg::MidSpeedSuppression,
             3,
             kSuppressionRule,
             false,
             true},
        };
        v.optionGroups = {
            {1, {90, 720}, 2150, true}, {0, {2300, 720}, 1890, true}, {2, {4250, 720}, 1915, true}};
        v.inputConfigurationSlot = 16;
        v.sliderWidthTwips = {4695, 4695, 4695};
        v.readBack = {{reg::PeakCurrent, 0, Target::Entry, 9},
                      {reg::SpeedOrMicrosteps, 1, Target::Entry, 8},
                      {reg::MidSpeedSuppression, 3, Target::Entry, 5},
                      {reg::IdleCurrentPercent, 2, Target::Entry, 0}};
        v.readBack += resonanceSliders(4, true);
        v.readBack += {{reg::InputConfiguration, 16, Target::InputConfiguration, 0},
                       {reg::JogHighSpeed, -1, Target::JogEntry, 5},
                       {reg::JogLowSpeed, -1, Target::JogEntry, 4},
                       {reg::JogAcceleration, -1, Target::JogEntry, 6}};
        v.idleAfterFailure = true;
        v.focusesStartButton = false;
        constexpr int kJogBox = 1500;
        v.testEntries = {
            {5,
             QStringLiteral("JogHigh(RPM)"),
             {120, 240},
             {120, 480},
             kJogBox,
             QString(),
             reg::JogHighSpeed,
             RangeRule::within(0, 3000)},
            {4,
             QStringLiteral("JogLow(RPM)"),
             {2280, 240},
             {2280, 480},
             kJogBox,
             QString(),
             reg::JogLowSpeed,
             RangeRule::within(0, 3000)},
            {6,
             QStringLiteral("Acceleration(m/s/s)      "),
             {4560, 240},
             {4560, 480},
             kJogBox,
             QString(),
             reg::JogAcceleration,
             RangeRule::within(0, 500)},
        };
        return v;
    }();
    return variant;
}

const ParamsVariant& ParamsVariant::qz318() {
    static const ParamsVariant variant = [] {
        ParamsVariant v;
        v.placeTwips = QPoint(3500, 500);
        v.frameWidthTwips = 7695;
        v.frames = {{{2100, 1215}, {120, 1980}, {3360, 1455}, {4800, 1335}, {6240, 1695}}};
        constexpr int kFirstRow = 360;
        constexpr int kSecondRow = 840;
        constexpr int kBox = 855;
        v.entries = {
            {9,
             QStringLiteral("峰值电流(A):"),
             {360, kFirstRow},
             {1560, kFirstRow},
             kBox,
             QStringLiteral("3"),
             reg::PeakCurrent,
             0,
             rule(5.6, Above, "5.6", 0, AtOrBelow, "0", "请输入合理的峰值电流(0～5.6A)！"),
             true,
             true},
            // The drive takes the pulse count but does not report it back the same way.
            {8,
             QStringLiteral("细分数:"),
             {3000, kFirstRow},
             {4200, kFirstRow},
             kBox,
             QStringLiteral("8"),
             reg::SpeedOrMicrosteps,
             1,
             rule(60000, Above, "60000", 1, Below, "1", "请输入合理的脉冲数/转(1～60000)！"),
             false,
             false},
            {5,
             QStringLiteral("抑制系数:"),
             {5640, kFirstRow},
             {6600, kFirstRow},
             kBox,
             QStringLiteral("2000"),
             reg::MidSpeedSuppression,
             4,
             kSuppressionRule,
             false,
             true},
            {0,
             QStringLiteral("空闲电流(%):"),
             {345, kSecondRow},
             {1560, kSecondRow},
             kBox,
             QStringLiteral("50"),
             reg::IdleCurrentPercent,
             2,
             rule(100, Above, "100", 0, Below, "0", "请输入合理的待机电流(0～100)！"),
             false,
             true},
            {1,
             QStringLiteral("空闲时间(ms):"),
             {2880, kSecondRow},
             {4200, kSecondRow},
             kBox,
             QStringLiteral("50"),
             reg::IdleCurrentTimeMs,
             3,
             rule(10000, Above, "10000", 1, Below, "1", "请输入合理的待机时间(1～10000)！"),
             false,
             true},
        };
        v.optionGroups = {{1, {90, 1200}, 2730, false},
                          {0, {2880, 1200}, 2580, true},
                          {2, {5520, 1200}, 2085, true}};
        v.filterBoxTwips = QPoint(5880, kSecondRow);
        v.inputConfigurationSlot = 17;
        v.sliderWidthTwips = {6135, 6015, 6015};
        v.readBack = {{reg::PeakCurrent, 0, Target::Entry, 9},
                      {reg::SpeedOrMicrosteps, 1, Target::Entry, 8},
                      {reg::MidSpeedSuppression, 4, Target::Entry, 5},
                      {reg::IdleCurrentPercent, 2, Target::Entry, 0},
                      {reg::IdleCurrentTimeMs, 3, Target::Entry, 1}};
        v.readBack += resonanceSliders(5, false);
        v.readBack += {{reg::InputConfiguration, 17, Target::InputConfiguration, 0}};
        v.idleAfterFailure = false;
        v.focusesStartButton = true;
        constexpr int kTestBox = 735;
        v.testEntries = {
            {6,
             QStringLiteral("间歇时间(ms):"),
             {5040, 645},
             {6360, 600},
             kTestBox,
             QStringLiteral("50"),
             std::nullopt,
             std::nullopt},
            {5,
             QStringLiteral("次数:"),
             {600, 1290},
             {1320, 1200},
             kTestBox,
             QStringLiteral("5"),
             std::nullopt,
             std::nullopt},
            {4,
             QStringLiteral("行程(r):"),
             {2520, 1290},
             {3480, 1200},
             kTestBox,
             QStringLiteral("10"),
             std::nullopt,
             RangeRule::within(0, 655)},
        };
        v.generator = Generator{{120, 240},  7455,        {240, 600},   {1080, 630},
                                {2280, 615}, {3720, 615}, {4680, 1080}, QSize(2295, 495)};
        return v;
    }();
    return variant;
}

const ParamsVariant& ParamsVariant::of(const Variant& variant) {
    return variant.link == &LinkVariant::qz318() ? qz318() : x7();
}

} // namespace kiro
