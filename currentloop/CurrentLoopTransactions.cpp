#include "CurrentLoopTransactions.h"

#include "link/DriveLink.h"
#include "link/RegisterMap.h"
#include "link/RetriedTransaction.h"

namespace kiro {

namespace {
constexpr quint8 kStation = 1;
constexpr quint8 kRead = 3;
constexpr quint8 kWrite = 6;
constexpr int kFactor = 10;
constexpr int kNoFactor = 1;
constexpr int kLinkMarginMs = 30; // the margin that ReplyWaitMs itself adds
} // namespace

bool CurrentLoopTransactions::run(const Request& request) {
    const bool answered = RetriedTransaction(link_, kAttempts, [&] {
        link_.SendRequest(kStation, request.function, request.address, request.value());
        link_.WaitMs(link_.ReplyWaitMs(request.factor) - kLinkMarginMs + request.marginMs);
        link_.ReceiveReply(kStation, request.function);
    });
    if (!answered)
        return false;
    if (request.settle == Settle::Yes)
        link_.WaitMs(link_.ReplyWaitMs());
    return true;
}

std::optional<quint16> CurrentLoopTransactions::readRegister(quint16 address) {
    if (!run({kRead, address, [] { return 1.0f; }, kFactor, kGainMarginMs, Settle::Yes}))
        return std::nullopt;
    if (link_.ReadValues().isEmpty())
        return std::nullopt;
    return quint16(qint32(link_.ReadValues().first()) & 0xFFFF);
}

bool CurrentLoopTransactions::writeGain(quint16 address, float value) {
    return run({kWrite, address, [value] { return value; }, kFactor, kGainMarginMs, Settle::Yes});
}

bool CurrentLoopTransactions::writeTestCurrent(float amperes) {
    return run({kWrite, reg::StepTestCurrent, [this, amperes] { return link_.ToQ10(amperes); },
                kNoFactor, kGainMarginMs, Settle::Yes});
}

bool CurrentLoopTransactions::startStep() {
    return run(
        {kWrite, reg::StepTestCommand, [] { return 1.0f; }, kFactor, kStepMarginMs, Settle::No});
}

std::optional<QVector<float>> CurrentLoopTransactions::readRecord() {
    if (!run({kRead, reg::StepResponseFirst, [] { return float(reg::StepResponseCount); }, kFactor,
              kRecordMarginMs, Settle::No}))
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
    return run(
        {kWrite, reg::StepTestCommand, [] { return 0.0f; }, kNoFactor, kGainMarginMs, Settle::No});
}

} // namespace kiro
