// The gain search against the simulated drive's physical loop, in process: for each winding and
// gain scaling, the steps the search used and the settling it reached, against the best settling
// a dense grid of gain pairs finds on the same drive within the same limits. Settling is counted
// here from the step itself (the drive records a few samples before it).
//
// Goal: on every drive, settling within 1.5 times the grid's best plus 2 samples, in at most 40
// steps.

#include "currentloop/GainSearch.h"
#include "sim/SampleWindings.h"

#include <QVector>
#include <cmath>
#include <cstdio>

namespace {

using kiro::sim::CurrentLoopModel;

constexpr double kStepAmperes = 1.5; // half the default peak current
constexpr int kGridPoints = 140;
constexpr kiro::GainPair kDefaultGains{1000, 300};

QVector<float> stepOn(CurrentLoopModel& loop, kiro::GainPair gains) {
    const CurrentLoopModel::Record record = loop.recordStep(
        quint16(gains.kp), quint16(gains.ki), qint16(std::lround(kStepAmperes * 1024)));
    QVector<float> samples;
    for (const quint16 raw : record)
        samples.append(qint16(raw) / 1024.0f);
    return samples;
}

int fromStep(int settling) {
    return settling - CurrentLoopModel::kSamplesBeforeStep;
}

// The shortest settling of any pair of a log grid over both gains that meets the limits.
std::optional<int> gridBest(CurrentLoopModel& loop, const kiro::SearchLimits& limits) {
    std::optional<int> best;
    for (int i = 0; i < kGridPoints; ++i) {
        const int kp = int(std::lround(std::pow(65535.0, double(i) / (kGridPoints - 1))));
        for (int j = 0; j < kGridPoints; ++j) {
            const int ki = int(std::lround(std::pow(65536.0, double(j) / (kGridPoints - 1)))) - 1;
            const QVector<float> samples = stepOn(loop, {kp, ki});
            const kiro::StepMetrics metrics =
                kiro::ComputeStepMetricsAgainstCommand(samples, kStepAmperes);
            if (!metrics.settlingSamples ||
                metrics.overshootPercent.value_or(0) > limits.maxOvershootPercent ||
                std::abs(*metrics.finalAmperes - kStepAmperes) > 0.02 * kStepAmperes)
                continue;
            if (!best || *metrics.settlingSamples < *best)
                best = *metrics.settlingSamples;
        }
    }
    return best;
}

} // namespace

int main() {
    const kiro::SearchLimits limits;
    bool allMet = true;
    std::printf("%-8s %5s %6s %9s %9s %6s %s\n", "winding", "scale", "steps", "settling",
                "grid best", "ratio", "goal");
    for (const double scale : {1.0, 10.0, 0.1}) {
        for (const kiro::sim::NamedMotor& winding : kiro::sim::kSampleWindings) {
            CurrentLoopModel loop;
            loop.setMotor(winding.motor);
            loop.setGainScale(scale);
            kiro::GainSearch search(kDefaultGains, kStepAmperes, limits);
            while (!search.finished())
                search.record(stepOn(loop, search.nextPair()));
            const std::optional<kiro::SearchStep> found = search.best();
            const std::optional<int> grid = gridBest(loop, limits);
            const int steps = int(search.steps().size());
            if (!found || !grid) {
                std::printf("%-8s %5g %6d %9s %9s\n", winding.name, scale, steps,
                            found ? "" : "none", grid ? "" : "none");
                allMet = false;
                continue;
            }
            const int settling = fromStep(*found->metrics.settlingSamples);
            const int best = fromStep(*grid);
            const bool met = settling <= 1.5 * best + 2 && steps <= limits.maxSteps;
            allMet = allMet && met;
            std::printf("%-8s %5g %6d %9d %9d %6.2f %s   (Kp %d, Ki %d)\n", winding.name, scale,
                        steps, settling, best, double(settling) / best, met ? "met" : "MISSED",
                        found->gains.kp, found->gains.ki);
        }
    }
    return allMet ? 0 : 1;
}
