#include "CurrentLoopModel.h"

#include <algorithm>
#include <cmath>

namespace kiro::sim {

namespace {
// The drive's own tuning aims at a loop gain per sample that leaves room for the computation
// delay: well damped, without overshoot.
constexpr double kAutoTuningLoopGain = 0.2;
constexpr double kMaxRaw = 65535;

quint16 toRaw(double value) {
    return quint16(std::lround(std::clamp(value, 1.0, kMaxRaw)));
}
} // namespace

CurrentLoopModel::CurrentLoopModel() {
    ownClock_.start();
}

qint64 CurrentLoopModel::now() const {
    return clock_ ? clock_() : ownClock_.elapsed();
}

std::array<double, 200> CurrentLoopModel::simulateStep(quint16 kp, quint16 ki, double stepAmperes) {
    const double ts = kSampleSeconds;
    const double kpVoltsPerAmpere = kp * kKpVoltsPerAmpere * gainScale_;
    const double kiVoltsPerAmperePerSample = ki * kKiVoltsPerAmpereSecond * gainScale_ * ts;
    const double vbus = motor_.busVolts;
    const double r = motor_.resistanceOhm;
    // The winding's current over one sample with a constant voltage, exactly.
    const double decay = std::exp(-r * ts / motor_.inductanceHenry);
    const double gain = (1 - decay) / r;

    std::normal_distribution<double> noise(0.0, 1.0);
    std::array<double, 200> measured{};
    double current = 0;
    double integrator = 0;
    double applied = 0; // the voltage computed one sample earlier, on the winding now
    for (int k = 0; k < int(measured.size()); ++k) {
        const double sample = current + (noiseAmperes_ > 0 ? noiseAmperes_ * noise(noise_) : 0.0);
        measured[size_t(k)] = sample;
        const double reference = k >= kSamplesBeforeStep ? stepAmperes : 0.0;
        const double error = reference - sample;
        integrator = std::clamp(integrator + kiVoltsPerAmperePerSample * error, -vbus, vbus);
        const double output = std::clamp(kpVoltsPerAmpere * error + integrator, -vbus, vbus);
        current = decay * current + gain * applied;
        applied = output;
    }
    return measured;
}

CurrentLoopModel::Record CurrentLoopModel::recordStep(quint16 kp, quint16 ki, qint16 stepQ10) {
    const std::array<double, 200> measured = simulateStep(kp, ki, stepQ10 / 1024.0);
    Record record{};
    for (size_t k = 0; k < record.size(); ++k) {
        const double q10 = std::clamp(measured[k] * 1024.0, -32768.0, 32767.0);
        record[k] = quint16(qint16(std::lround(q10)));
    }
    return record;
}

void CurrentLoopModel::startAutoTuning() {
    // Proportional gain for the loop gain, integral zero on the winding's pole.
    const double kpVoltsPerAmpere = kAutoTuningLoopGain * motor_.inductanceHenry / kSampleSeconds;
    const double kiVoltsPerAmpereSecond =
        kpVoltsPerAmpere * motor_.resistanceOhm / motor_.inductanceHenry;
    tuned_ = {toRaw(kpVoltsPerAmpere / (kKpVoltsPerAmpere * gainScale_)),
              toRaw(kiVoltsPerAmpereSecond / (kKiVoltsPerAmpereSecond * gainScale_))};
    tunedAt_ = now() + kAutoTuningMs;
}

std::optional<CurrentLoopModel::Gains> CurrentLoopModel::takeTunedGains() {
    if (!tunedAt_ || now() < *tunedAt_)
        return std::nullopt;
    tunedAt_.reset();
    return tuned_;
}

} // namespace kiro::sim
