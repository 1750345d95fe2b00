#include "StepMetrics.h"

#include <algorithm>
#include <cmath>

namespace kiro {

namespace {
constexpr double kRiseFrom = 0.1;
constexpr double kRiseTo = 0.9;
constexpr double kSettlingBand = 0.02;

// The index of the first sample at or beyond the level, or nullopt.
std::optional<int> firstReaching(const QVector<double>& response, double level) {
    const auto it = std::find_if(response.begin(), response.end(),
                                 [level](double sample) { return sample >= level; });
    if (it == response.end())
        return std::nullopt;
    return int(it - response.begin());
}

// The figures with the ratios taken against the given level (the final value, or the current
// commanded).
StepMetrics figuresAgainst(const QVector<float>& samples, double stepAmperes, bool commanded) {
    StepMetrics metrics;
    const int count = samples.size();
    if (count < kFinalSamples)
        return metrics;
    double sum = 0;
    for (int k = count - kFinalSamples; k < count; ++k)
        sum += samples[k];
    const double finalValue = sum / kFinalSamples;
    if (!std::isfinite(finalValue) || !std::isfinite(stepAmperes))
        return metrics;
    metrics.finalAmperes = finalValue;
    metrics.steadyStateErrorAmperes = stepAmperes - finalValue;
    const double reference = commanded ? stepAmperes : finalValue;
    if (stepAmperes == 0 || reference == 0)
        return metrics;

    // On the side of the reference, so that a response below zero reads as its mirror image.
    const double side = reference > 0 ? 1 : -1;
    const double level = side * reference;
    QVector<double> response(count);
    for (int k = 0; k < count; ++k)
        response[k] = side * samples[k];

    const std::optional<int> riseStart = firstReaching(response, kRiseFrom * level);
    const std::optional<int> riseEnd = firstReaching(response, kRiseTo * level);
    if (riseStart && riseEnd)
        metrics.riseSamples = *riseEnd - *riseStart;

    const double peak = *std::max_element(response.begin(), response.end());
    metrics.overshootPercent = peak > level ? (peak - level) / level * 100 : 0.0;

    const double band = kSettlingBand * level;
    int settled = count;
    while (settled > 0 && std::abs(response[settled - 1] - level) <= band)
        --settled;
    if (settled <= count - kFinalSamples)
        metrics.settlingSamples = settled;
    return metrics;
}
} // namespace

StepMetrics ComputeStepMetrics(const QVector<float>& samples, double stepAmperes) {
    return figuresAgainst(samples, stepAmperes, false);
}

StepMetrics ComputeStepMetricsAgainstCommand(const QVector<float>& samples,
                                             double commandedAmperes) {
    return figuresAgainst(samples, commandedAmperes, true);
}

} // namespace kiro
