#include "CurrentLoopModel.h"

#include <algorithm>
#include <cmath>

namespace kiro::sim {

CurrentLoopModel::CurrentLoopModel() {
    ownClock_.start();
}

qint64 CurrentLoopModel::now() const {
    return clock_ ? clock_() : ownClock_.elapsed();
}

CurrentLoopModel::Record CurrentLoopModel::recordStep(quint16 kp, quint16 ki, qint16 stepQ10) {
    const double p = std::max(1, int(kp)) / 1000.0;
    const double i = std::max(1, int(ki)) / 300.0;
    const double target = stepQ10;
    const double omega = std::clamp(0.35 * std::sqrt(i), 0.02, 1.5); // rad per sample
    const double zeta = std::clamp(0.55 * p / std::sqrt(i), 0.03, 4.0);

    constexpr int kSubsteps = 50;
    constexpr double dt = 1.0 / kSubsteps;
    double current = 0;
    double slope = 0;
    const double noiseAmplitude = 3.0 + std::abs(target) * 0.004;
    Record record{};
    for (int k = 0; k < int(record.size()); ++k) {
        if (k >= kSamplesBeforeStep) {
            for (int s = 0; s < kSubsteps; ++s) {
                const double accel = omega * omega * (target - current) - 2 * zeta * omega * slope;
                slope += accel * dt;
                current += slope * dt;
            }
        }
        noiseSeed_ = noiseSeed_ * 1664525u + 1013904223u;
        const double noise =
            (double(noiseSeed_ >> 8) / double(1u << 24) * 2.0 - 1.0) * noiseAmplitude;
        const double sample = std::clamp(current + noise, -32768.0, 32767.0);
        record[size_t(k)] = quint16(qint16(std::lround(sample)));
    }
    return record;
}

void CurrentLoopModel::startAutoTuning(double peakAmperes) {
    // A larger winding current asks for a slightly stronger integral action.
    const double peak = std::max(0.5, peakAmperes);
    const auto ki = quint16(std::lround(240 + 8 * peak));
    const auto kp = quint16(std::lround(1000 * 0.72 * std::sqrt(ki / 300.0) / 0.55));
    tuned_ = {kp, ki};
    tunedAt_ = now() + kAutoTuningMs;
}

std::optional<CurrentLoopModel::Gains> CurrentLoopModel::takeTunedGains() {
    if (!tunedAt_ || now() < *tunedAt_)
        return std::nullopt;
    tunedAt_.reset();
    return tuned_;
}

} // namespace kiro::sim
