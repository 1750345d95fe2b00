#pragma once

#include <QVector>
#include <functional>
#include <optional>

namespace kiro {

class DriveLink;

// The current loop's gains as the drive holds them; a gain whose read gave up is missing.
struct CurrentLoopGains {
    std::optional<quint16> kp;
    std::optional<quint16> ki;
};

// The current-loop window's transactions with the drive, each tried up to twelve times and each
// with the reply wait the drive needs for it: the step test itself takes the drive half a second,
// and the 200-sample record is long on the line. Every step reports only whether it succeeded; the
// caller decides how to give up.
class CurrentLoopTransactions {
public:
    explicit CurrentLoopTransactions(DriveLink& link) : link_(link) {}

    static constexpr int kGainMarginMs = 30;
    static constexpr int kStepMarginMs = 500; // the drive performs and records the step meanwhile
    static constexpr int kRecordMarginMs = 100;

    // One register, as the unsigned value the drive holds.
    std::optional<quint16> readRegister(quint16 address);
    // Kp, then Ki; Ki is not asked once the read of Kp has given up.
    CurrentLoopGains readGains();
    // Kp or Ki; the link rounds the value to the nearest integer.
    bool writeGain(quint16 address, float value);
    // The step amplitude in amperes, written as Q10.
    bool writeTestCurrent(float amperes);
    // Register 2 := 1: the drive applies the step and records the response.
    bool startStep();
    // The recorded response, one value in amperes per sample.
    std::optional<QVector<float>> readRecord();
    // Register 2 := 0: the drive leaves the test mode.
    bool endTest();

private:
    enum class Settle { Yes, No };
    struct Request {
        quint8 function;
        quint16 address;
        std::function<float()> value; // asked again before every attempt
        int factor;                   // of the reply length in the reply wait
        int marginMs;
        Settle settle;
    };
    bool run(const Request& request);

    DriveLink& link_;
};

} // namespace kiro
