#include "ParameterSet.h"

#include "link/RegisterMap.h"

#include <cmath>
#include <cstdio>

namespace kiro {

namespace {
constexpr float kMaxRaw = 65535.0f;
constexpr float kMaxAmperes = 63.99f; // the largest current whose x1024 still fits a register
constexpr double kQ10 = 1024.0;
constexpr int kSignificantDigits = 7;
} // namespace

const ParameterNames& BuiltInParamNames() {
    static const ParameterNames names{
        QStringLiteral("电流环比例增益P"),   QStringLiteral("电流环积分增益I"),
        QStringLiteral("用户设置电流值"),    QStringLiteral("细分数"),
        QStringLiteral("低速振动抑制幅值1"), QStringLiteral("低速振动抑制相位1"),
        QStringLiteral("低速振动抑制幅值2"), QStringLiteral("低速振动抑制相位2"),
        QStringLiteral("低速振动抑制幅值3"), QStringLiteral("低速振动抑制相位3"),
        QStringLiteral("空闲电流幅度"),      QStringLiteral("空闲电流时间"),
        QStringLiteral("输入脉冲滤波使能"),  QStringLiteral("中速振动抑制系数"),
        QStringLiteral("脉冲输入模式选择")};
    return names;
}

const std::array<QString, kParameterCount>& ParamRanges() {
    static const std::array<QString, kParameterCount> ranges{QStringLiteral("0--3000"),
                                                             QStringLiteral("0--1000"),
                                                             QStringLiteral("0.1--5.6 单位0.1A"),
                                                             QStringLiteral("1--512"),
                                                             QStringLiteral("0--3500"),
                                                             QStringLiteral("0--1608"),
                                                             QStringLiteral("0--3500"),
                                                             QStringLiteral("0--1608"),
                                                             QStringLiteral("0--256"),
                                                             QStringLiteral("0--256"),
                                                             QStringLiteral("0--100 单位：%"),
                                                             QStringLiteral("10--3000 单位：ms"),
                                                             QStringLiteral("0或者1"),
                                                             QStringLiteral("0--6000"),
                                                             QStringLiteral("0--7")};
    return ranges;
}

const std::array<ValidRange, kParameterCount>& ParamValidRanges() {
    static const std::array<ValidRange, kParameterCount> ranges{{{0, 3000},
                                                                 {0, 1000},
                                                                 {0.1f, 5.6f},
                                                                 {1, 512},
                                                                 {0, 3500},
                                                                 {0, 1608},
                                                                 {0, 3500},
                                                                 {0, 1608},
                                                                 {0, 256},
                                                                 {0, 256},
                                                                 {0, 100},
                                                                 {10, 3000},
                                                                 {0, 1},
                                                                 {0, 6000},
                                                                 {0, 7}}};
    return ranges;
}

const ParameterValues& ParamDefaults() {
    static const ParameterValues defaults{1000, 200, 1,  1,    0, 0,    0, 0,
                                          128,  128, 50, 2000, 0, 1000, 0};
    return defaults;
}

quint16 RegisterOf(int index) {
    return reg::ParameterTableRegisters[std::size_t(index)];
}

float HeldFromRaw(int index, quint16 raw) {
    if (index != kAmperesIndex)
        return float(raw);
    // Halves go to even, as everywhere the program rounds.
    return float(std::nearbyint(raw / kQ10 * 100.0) / 100.0);
}

float RawToSend(int index, float held) {
    return index == kAmperesIndex ? held * float(kQ10) : held;
}

bool FitsRegister(int index, float held) {
    const float highest = index == kAmperesIndex ? kMaxAmperes : kMaxRaw;
    return held >= 0.0f && held <= highest; // false for NaN too
}

QString ShortestDecimal(float value) {
    if (!std::isfinite(value))
        return QString::number(double(value));
    // Round to seven significant digits first, then write the digits out without exponent.
    char scientific[32];
    std::snprintf(scientific, sizeof scientific, "%.*e", kSignificantDigits - 1, double(value));
    const QString text = QString::fromLatin1(scientific);
    const int e = text.indexOf(QLatin1Char('e'));
    const bool negative = text.startsWith(QLatin1Char('-'));
    QString digits = text.left(e).remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    const int exponent = text.mid(e + 1).toInt();
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits == QLatin1String("0"))
        return QStringLiteral("0");

    QString plain;
    if (exponent < 0) {
        plain = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else if (exponent + 1 >= digits.size()) {
        plain = digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
    } else {
        plain = digits.left(exponent + 1) + QLatin1Char('.') + digits.mid(exponent + 1);
    }
    return negative ? QLatin1Char('-') + plain : plain;
}

} // namespace kiro
