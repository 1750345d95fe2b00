#pragma once

#include <QVector>
#include <functional>
#include <optional>

namespace kiro {

class DriveLink;

// A captured step response, as the plot draws it.
struct StepRecord {
    QVector<float> Samples; // amperes, one per sample
    float PlotRange = 0;    // half the vertical span of the full view
};

// The vertical half-span of the full view: three times the step current, so that overshoot and
// ringing stay on screen; a step of 0 A still gets a readable span of +-0.2 A.
float PlotRangeFor(float testCurrent);

// Where a step test stopped.
enum class StepStage { Kp, Ki, TestCurrent, Step, Record, Done };

// What the step test writes, asked for at the moment it is written (the window clamps its entry
// and shows the clamped value then). A gain without a value is left as the drive has it.
struct StepTestInputs {
    std::function<std::optional<float>()> kp;
    std::function<std::optional<float>()> ki;
    std::function<float()> testCurrent;
};

struct StepTestResult {
    StepStage reached = StepStage::Kp; // Done, or the step that gave up
    StepRecord record;                 // filled when Done
    bool done() const { return reached == StepStage::Done; }
};

// The step test as the drive needs it: the gains, the step current, the step itself and the
// record, in this order, each step tried up to twelve times. The drive stays in the test mode
// afterwards until register 2 := 0 (CurrentLoopTransactions::endTest).
StepTestResult RunStepTest(DriveLink& link, const StepTestInputs& inputs);

} // namespace kiro
