#include "CurrentLoopTransactions.h"

#include "link/AttemptLimits.h"
#include "link/DriveLink.h"
#include "link/ModbusCodes.h"
#include "link/RegisterMap.h"
#include "link/RetriedTransaction.h"

namespace kiro {

namespace {
constexpr int kFactor = 10;
constexpr int kNoFactor = 1;
constexpr int kLinkMarginMs = 30; // the margin that ReplyWaitMs itself adds
} // namespace

bool CurrentLoopTransactions::run(const Request& request) {
    const bool answered = RetriedTransaction(link_, attempts::kToolWindow, [&] {
        link_.SendRequest(modbus::kDriveStation, request.function, request.address,
                          request.value());
        link_.WaitMs(link_.ReplyWaitMs(request.factor) - kLinkMarginMs + request.marginMs);
        link_.ReceiveReply(modbus::kDriveStation, request.function);
    });
    if (!answered)
        return false;
    if (request.settle == Settle::Yes)
        link_.WaitMs(link_.ReplyWaitMs());
    return true;
}

std::optional<quint16> CurrentLoopTransactions::readRegister(quint16 address) {
    if (!run({modbus::kReadHolding, address, [] { return 1.0f; }, kFactor, kGainMarginMs,
              Settle::Yes}))
        return std::nullopt;
    if (link_.ReadValues().isEmpty())
        return std::nullopt;
    return link_.ReadWord();
}

CurrentLoopGains CurrentLoopTransactions::readGains() {
    CurrentLoopGains gains;
    gains.kp = readRegister(reg::CurrentLoopKp);
    if (gains.kp)
        gains.ki = readRegister(reg::CurrentLoopKi);
    return gains;
}

bool CurrentLoopTransactions::writeGain(quint16 address, float value) {
    return run({modbus::kWriteSingle, address, [value] { return value; }, kFactor, kGainMarginMs,
                Settle::Yes});
}

bool CurrentLoopTransactions::writeTestCurrent(float amperes) {
    return run({modbus::kWriteSingle, reg::StepTestCurrent,
                [this, amperes] { return link_.ToQ10(amperes); }, kNoFactor, kGainMarginMs,
                Settle::Yes});
}

bool CurrentLoopTransactions::startStep() {
    return run({modbus::kWriteSingle, reg::StepTestCommand, [] { return 1.0f; }, kFactor,
                kStepMarginMs, Settle::No});
}

std::optional<QVector<float>> CurrentLoopTransactions::readRecord() {
    if (!run({modbus::kReadHolding, reg::StepResponseFirst,
              [] { return float(reg::StepResponseCount); }, kFactor, kRecordMarginMs, Settle::No}))
        return std::nullopt;
    const QVector<float>& values = link_.ReadValues();
    if (values.size() < reg::StepResponseCount)
        return std::nullopt;
    QVector<float> samples(reg::StepResponseCount);
    for (int k = 0; k < reg::StepResponseCount; ++k)
        samples[k] = link_.FromQ10(values[k]);
    return samples;
}

bool CurrentLoopTransactions::endTest() {
    return run({modbus::kWriteSingle, reg::StepTestCommand, [] { return 0.0f; }, kNoFactor,
                kGainMarginMs, Settle::No});
}

} // namespace kiro
