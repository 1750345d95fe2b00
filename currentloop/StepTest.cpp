#include "StepTest.h"

#include "CurrentLoopTransactions.h"
#include "link/RegisterMap.h"

namespace kiro {

namespace {
constexpr float kPlotRangeFactor = 3;
constexpr float kPlotRangeAtZero = 0.2f;
} // namespace

float PlotRangeFor(float testCurrent) {
    return testCurrent == 0 ? kPlotRangeAtZero : kPlotRangeFactor * testCurrent;
}

StepTestResult RunStepTest(DriveLink& link, const StepTestInputs& inputs) {
    CurrentLoopTransactions drive(link);
    StepTestResult result;
    const std::optional<float> kp = inputs.kp ? inputs.kp() : std::nullopt;
    if (kp && !drive.writeGain(reg::CurrentLoopKp, *kp))
        return result;
    result.reached = StepStage::Ki;
    const std::optional<float> ki = inputs.ki ? inputs.ki() : std::nullopt;
    if (ki && !drive.writeGain(reg::CurrentLoopKi, *ki))
        return result;
    result.reached = StepStage::TestCurrent;
    const float current = inputs.testCurrent ? inputs.testCurrent() : 0.0f;
    if (!drive.writeTestCurrent(current))
        return result;
    result.reached = StepStage::Step;
    if (!drive.startStep())
        return result;
    result.reached = StepStage::Record;
    std::optional<QVector<float>> samples = drive.readRecord();
    if (!samples)
        return result;
    result.reached = StepStage::Done;
    result.record = {std::move(*samples), PlotRangeFor(current)};
    return result;
}

} // namespace kiro
