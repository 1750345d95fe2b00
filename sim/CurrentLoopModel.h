#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <array>
#include <functional>
#include <optional>

namespace kiro::sim {

// The drive's current loop as the tuners see it: the step response recorded after a step test
// and the drive's own tuning of the two gains.
//
// The loop behaves close to a second-order system: the proportional gain damps it, the integral
// gain makes it faster and livelier. Each record starts a few samples before the step so that the
// rise is visible, and carries a little measurement noise. The automatic tuning measures the
// winding for a while before it sets gains for a well damped loop; until then the drive keeps the
// gains it had.
class CurrentLoopModel {
public:
    using Record = std::array<quint16, 200>;
    using Clock = std::function<qint64()>; // milliseconds, monotonic

    static constexpr int kSamplesBeforeStep = 10;
    static constexpr int kAutoTuningMs = 300;

    CurrentLoopModel();

    // The drive's sense of time; without one it uses a monotonic clock of its own.
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // A step to stepQ10 (amperes x 1024) with the given raw gains.
    Record recordStep(quint16 kp, quint16 ki, qint16 stepQ10);

    // Register 97 := 1: tuning starts now, for a winding driven at the given peak current.
    void startAutoTuning(double peakAmperes);
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
    quint32 noiseSeed_ = 0x2545F491u;
    std::optional<qint64> tunedAt_;
    Gains tuned_{};
};

} // namespace kiro::sim
