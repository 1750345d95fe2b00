#include "LoopModel.h"

#include <algorithm>
#include <cmath>

namespace kiro {

namespace {
constexpr int kLongestDelay = 4;
// A drive records a few samples before its step; a third of the record is more than any does.
constexpr int kLatestStepStart = 60;
// A proportional step whose final value is below this part of the command is mostly noise.
constexpr double kSmallestResponse = 0.03;
// kappa is searched over these decades, then refined between the two best neighbours.
constexpr double kKappaLowest = 1e-7;
constexpr double kKappaHighest = 1e3;
constexpr int kKappaPointsPerDecade = 12;
constexpr int kRefinements = 40;
// Fits within this of the best one explain a step equally well (the noise floor in parts of the
// command covers records so clean that every residual is tiny).
constexpr double kEquallyGood = 1.1;
constexpr double kNoiseFloor = 0.0005;

double residualOf(const LoopModel& model, const QVector<float>& samples, double commanded,
                  double kp, double ki) {
    const QVector<float> simulated = SimulateLoop(model, kp, ki, commanded, int(samples.size()));
    double sum = 0;
    for (int k = 0; k < samples.size(); ++k) {
        const double difference = samples[k] - simulated[k];
        sum += difference * difference;
    }
    return std::sqrt(sum / std::max<qsizetype>(1, samples.size())) / std::abs(commanded);
}

double finalValue(const QVector<float>& samples) {
    const int count = std::min<int>(20, int(samples.size()));
    double sum = 0;
    for (int k = int(samples.size()) - count; k < samples.size(); ++k)
        sum += samples[k];
    return count > 0 ? sum / count : 0;
}

// Least squares of i[k+1] = pole i[k] + c e[k - delay] for one step start and delay.
std::optional<LoopModel> leastSquares(const QVector<float>& samples, double commanded, double kp,
                                      int stepIndex, int delay) {
    double sxx = 0, sxe = 0, see = 0, sxy = 0, sey = 0;
    for (int k = delay; k + 1 < samples.size(); ++k) {
        const double x = samples[k];
        const double e = (k - delay >= stepIndex ? commanded : 0.0) - samples[k - delay];
        const double y = samples[k + 1];
        sxx += x * x;
        sxe += x * e;
        see += e * e;
        sxy += x * y;
        sey += e * y;
    }
    const double determinant = sxx * see - sxe * sxe;
    if (std::abs(determinant) < 1e-12)
        return std::nullopt;
    const double pole = (sxy * see - sey * sxe) / determinant;
    const double c = (sey * sxx - sxy * sxe) / determinant;
    if (!(pole > 0 && pole < 1 && c > 0))
        return std::nullopt;
    LoopModel model;
    model.pole = pole;
    model.gainPerKp = c / kp;
    model.delay = delay;
    model.stepIndex = stepIndex;
    return model;
}
} // namespace

QVector<float> SimulateLoop(const LoopModel& model, double kp, double ki, double commandedAmperes,
                            int count) {
    QVector<float> samples(count);
    QVector<double> outputs(count, 0.0);
    double current = 0;
    double integrator = 0;
    for (int k = 0; k < count; ++k) {
        samples[k] = float(current);
        const double error = (k >= model.stepIndex ? commandedAmperes : 0.0) - current;
        integrator += model.kappa * ki * error;
        outputs[k] = kp * error + integrator;
        const double applied = k >= model.delay ? outputs[k - model.delay] : 0.0;
        current = model.pole * current + model.gainPerKp * applied;
        if (!std::isfinite(current) || std::abs(current) > 1e6 * std::abs(commandedAmperes) + 1)
            current = std::copysign(1e6 * std::abs(commandedAmperes) + 1, current);
    }
    return samples;
}

QVector<LoopFit> FitProportionalStep(const QVector<float>& samples, double commandedAmperes,
                                     double kp) {
    if (commandedAmperes == 0 || kp <= 0 || samples.size() < 40 ||
        finalValue(samples) / commandedAmperes < kSmallestResponse)
        return {};
    QVector<LoopFit> fits;
    const int latestStart = std::min<int>(kLatestStepStart, int(samples.size()) / 3);
    for (int stepIndex = 0; stepIndex <= latestStart; ++stepIndex) {
        for (int delay = 0; delay <= kLongestDelay; ++delay) {
            const std::optional<LoopModel> model =
                leastSquares(samples, commandedAmperes, kp, stepIndex, delay);
            if (model)
                fits.append({*model, residualOf(*model, samples, commandedAmperes, kp, 0)});
        }
    }
    std::sort(fits.begin(), fits.end(),
              [](const LoopFit& a, const LoopFit& b) { return a.residual < b.residual; });
    // A slow proportional step hardly tells a later step from a longer delay; a step with
    // integral action will.
    const auto worse = std::find_if(fits.begin(), fits.end(), [&](const LoopFit& fit) {
        return !ExplainsEquallyWell(fit.residual, fits.first().residual);
    });
    fits.erase(worse, fits.end());
    return fits;
}

bool ExplainsEquallyWell(double residual, double least) {
    return residual <= kEquallyGood * least + kNoiseFloor;
}

std::optional<LoopFit> FitIntegralScale(const LoopModel& model, const QVector<float>& samples,
                                        double commandedAmperes, double kp, double ki) {
    if (commandedAmperes == 0 || ki <= 0)
        return std::nullopt;
    LoopModel trial = model;
    const auto residualAt = [&](double logKappa) {
        trial.kappa = std::pow(10.0, logKappa);
        return residualOf(trial, samples, commandedAmperes, kp, ki);
    };
    const double step = 1.0 / kKappaPointsPerDecade;
    double bestLog = std::log10(kKappaLowest);
    double bestResidual = residualAt(bestLog);
    for (double at = bestLog + step; at <= std::log10(kKappaHighest); at += step) {
        const double residual = residualAt(at);
        if (residual < bestResidual) {
            bestResidual = residual;
            bestLog = at;
        }
    }
    // Golden-section search between the neighbours of the best point of the grid.
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double low = bestLog - step, high = bestLog + step;
    for (int i = 0; i < kRefinements; ++i) {
        const double a = high - ratio * (high - low);
        const double b = low + ratio * (high - low);
        if (residualAt(a) < residualAt(b))
            high = b;
        else
            low = a;
    }
    const double refined = (low + high) / 2;
    const double residual = residualAt(refined);
    if (residual < bestResidual)
        bestLog = refined, bestResidual = residual;
    trial.kappa = std::pow(10.0, bestLog);
    return LoopFit{trial, bestResidual};
}

} // namespace kiro
