#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <array>
#include <functional>
#include <optional>
#include <random>

namespace kiro::sim {

// The winding and the supply behind the drive's current loop.
struct Motor {
    double resistanceOhm = 1.2;
    double inductanceHenry = 0.0036;
    double busVolts = 48;
};

// The drive's current loop as a physical system: a discrete PI controller on the current error,
// running at kSampleSeconds, whose output voltage reaches an RL winding one sample after the
// measurement it was computed from. The step test records the measured current at the same rate.
//
// Scaling of the gain registers (times the gain scale, 1 for this drive's firmware):
// - Kp, register 0: 1 count = kKpVoltsPerAmpere (1000 = 4 V per ampere of error);
// - Ki, register 1: 1 count = kKiVoltsPerAmpereSecond (300 = 1200 V per ampere-second of error).
// The integrator and the output are both clamped to the bus voltage, so that the integrator does
// not wind up while the output saturates. The measurement carries Gaussian noise.
//
// With the default motor, the drive's default gains place the integral zero near the winding's
// pole and give a clean first-order step that settles in about 80 samples: sound, but several
// times slower than the loop can be.
class CurrentLoopModel {
public:
    using Record = std::array<quint16, 200>;
    using Clock = std::function<qint64()>; // milliseconds, monotonic

    static constexpr double kSampleSeconds = 50e-6; // 20 kHz
    static constexpr double kKpVoltsPerAmpere = 0.004;
    static constexpr double kKiVoltsPerAmpereSecond = 4.0;
    static constexpr double kNoiseAmperes = 0.002; // standard deviation of the measurement
    static constexpr int kSamplesBeforeStep = 10;
    static constexpr int kAutoTuningMs = 300;

    CurrentLoopModel();

    // The drive's sense of time; without one it uses a monotonic clock of its own.
    void setClock(Clock clock) { clock_ = std::move(clock); }

    void setMotor(const Motor& motor) { motor_ = motor; }
    const Motor& motor() const { return motor_; }
    // Multiplies the scaling of both gains: a drive whose firmware scales them otherwise.
    void setGainScale(double scale) { gainScale_ = scale; }
    double gainScale() const { return gainScale_; }
    // The standard deviation of the measurement noise in amperes (0: an exact record).
    void setNoiseAmperes(double amperes) { noiseAmperes_ = amperes; }

    // A step to stepQ10 (amperes x 1024) with the given raw gains, as the drive records it.
    Record recordStep(quint16 kp, quint16 ki, qint16 stepQ10);
    // The same step in amperes, before the record rounds it to Q10.
    std::array<double, 200> simulateStep(quint16 kp, quint16 ki, double stepAmperes);

    // Register 97 := 1: the drive measures its winding and sets gains for a well damped loop.
    void startAutoTuning();
    bool autoTuning() const { return tunedAt_.has_value(); }
    // The gains the tuning chose, once it has run long enough (and only once).
    struct Gains {
        quint16 kp;
        quint16 ki;
    };
    std::optional<Gains> takeTunedGains();

private:
    qint64 now() const;

    Clock clock_;
    QElapsedTimer ownClock_;
    Motor motor_;
    double gainScale_ = 1;
    double noiseAmperes_ = kNoiseAmperes;
    std::mt19937 noise_{0x2545F491u};
    std::optional<qint64> tunedAt_;
    Gains tuned_{};
};

} // namespace kiro::sim
