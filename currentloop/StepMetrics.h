#pragma once

#include <QVector>
#include <optional>

namespace kiro {

// The figures engineers tune a current loop by, taken from one step record. A figure without a
// value has no meaning for that record (it is left empty in qzcli's CSV); none of them is ever
// the result of a division by zero.
struct StepMetrics {
    // The mean of the last kFinalSamples samples.
    std::optional<double> finalAmperes;
    // The step current minus the final value.
    std::optional<double> steadyStateErrorAmperes;
    // Samples from the first one at or beyond 10 % of the final value to the first one at or
    // beyond 90 % of it (0 when one sample crosses both).
    std::optional<int> riseSamples;
    // How far the highest sample lies beyond the final value, in percent of the final value; 0
    // when no sample does.
    std::optional<double> overshootPercent;
    // The index of the first sample from which every later sample stays within 2 % of the final
    // value; counted from the first sample of the record, as the sample column of qzcli numbers
    // them.
    std::optional<int> settlingSamples;
};

// The final value is the mean of this many samples at the end of the record.
constexpr int kFinalSamples = 20;

// Figures for a record of samples in amperes after a step of stepAmperes.
//
// Edge cases, as they are decided here:
// - A record shorter than kFinalSamples has no final value, and therefore no figure at all.
// - The steady-state error needs only the final value and is given whatever the step.
// - Rise, overshoot and settling are ratios to the final value: they stay empty when the step
//   current is 0 A or the final value is exactly 0 A.
// - A response that settles below zero (a reversed current sense, a negative step) is measured
//   as its mirror image: the thresholds, the peak and the band are all taken on the side of the
//   final value, so its overshoot is how far it swings past the final value away from zero.
// - Since some sample always lies at or beyond the mean of the last samples, every record with a
//   final value reaches 90 % of it; riseSamples is empty only together with the other ratios.
// - A response counts as settled only when the samples that make up its final value stay within
//   the 2 % band themselves: settlingSamples is empty when any of the last kFinalSamples samples
//   lies outside it (a record that still rings or drifts at its end never settles).
StepMetrics ComputeStepMetrics(const QVector<float>& samples, double stepAmperes);

// The same figures with rise, overshoot and settling taken against the current actually
// commanded instead of the final value: a loop that settles beside its command (a proportional
// loop, a drive whose integral action is too weak to finish within the record) does not settle
// at all here, however flat its end. The final value and its error are the same as above.
StepMetrics ComputeStepMetricsAgainstCommand(const QVector<float>& samples,
                                             double commandedAmperes);

} // namespace kiro
