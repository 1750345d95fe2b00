#include "GainSearch.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kiro {

namespace {
constexpr int kMaxGain = 65535;
constexpr double kBand = 0.02;   // the settling band, in parts of the command
constexpr double kMaxGrowth = 2; // per step, from the last pair that met the limits
// The approach moves the integral zero first when the ratio Ki / Kp is off by more than this.
constexpr double kRatioTolerance = 1.25;
constexpr int kSwingsOfOscillation = 3;
// A model that misses a step by more than this (root mean square, in parts of the command) is
// not trusted to place the gains.
constexpr double kFitTolerance = 0.03;
constexpr int kProportionalTries = 8;
// The fitted model's best pair must keep this part of the overshoot limit in reserve for what
// the model does not know.
constexpr double kModelOvershootReserve = 0.6;
constexpr double kModelBandReserve = 0.5;
// A linear loop with these gains would reach half the command by then (from the step): slower
// than this means the output was clamped.
constexpr double kSaturationSlowdown = 1.5;
constexpr int kSaturationSlack = 2;
// The pattern search's first factor, and the smallest one it still tries.
constexpr double kFirstFactor = 1.4;
constexpr double kSmallestFactor = 1.02;
// Where the fitted model looks for its best pair: the proportional gain as the current one
// count adds per sample and per ampere of error (the loop gain), the integral zero per sample.
constexpr double kLoopGainLowest = 0.003;
constexpr double kLoopGainHighest = 1.5;
constexpr double kZeroLowest = 1e-4;
constexpr double kZeroHighest = 0.8;
constexpr int kModelGridPoints = 48;
constexpr int kNotSettled = 1 << 20;

constexpr std::array<std::array<double, 2>, 4> kDirections{{
    {1, 1},   // bandwidth up: both gains
    {0, 1},   // integral zero up
    {0, -1},  // integral zero down
    {-1, -1}, // bandwidth down
}};

int clampGain(double value, int lowest) {
    if (!std::isfinite(value))
        return kMaxGain;
    return int(std::lround(std::clamp(value, double(lowest), double(kMaxGain))));
}

// How many times the response crosses from beyond one edge of the band around the level to
// beyond the other. The band is that of the command also around a lower level, so that the noise
// of a small response is no swing.
int swingsAround(const QVector<float>& samples, double level, double band) {
    int side = 0;
    int swings = 0;
    for (const float sample : samples) {
        const double deviation = sample - level;
        if (std::abs(deviation) <= band)
            continue;
        const int now = deviation > 0 ? 1 : -1;
        if (side != 0 && now != side)
            ++swings;
        side = now;
    }
    return swings;
}

double finalOf(const StepMetrics& metrics) {
    return metrics.finalAmperes.value_or(0);
}

int firstReaching(const QVector<float>& samples, double level) {
    for (int k = 0; k < samples.size(); ++k)
        if (samples[k] * (level > 0 ? 1 : -1) >= std::abs(level))
            return k;
    return -1;
}
} // namespace

QString GainPairText(GainPair gains) {
    return QStringLiteral("Kp %1, Ki %2").arg(gains.kp).arg(gains.ki);
}

bool EndsDirection(StepVerdict verdict) {
    return verdict == StepVerdict::Runaway || verdict == StepVerdict::Oscillates ||
           verdict == StepVerdict::Saturates;
}

GainSearch::GainSearch(GainPair start, double stepAmperes, SearchLimits limits)
    : start_{clampGain(start.kp, 1), clampGain(start.ki, 0)},
      commanded_(std::round(stepAmperes * 1024) / 1024), limits_(limits),
      endedAt_(int(kDirections.size()), 0.0) {
    if (limits_.maxSteps > 0 && commanded_ != 0)
        pending_ = start_;
}

std::optional<SearchStep> GainSearch::best() const {
    const SearchStep* found = nullptr;
    for (const SearchStep& step : steps_)
        if (step.accepted() && (!found || better(step, *found)))
            found = &step;
    return found ? std::optional<SearchStep>(*found) : std::nullopt;
}

std::optional<LoopModel> GainSearch::model() const {
    if (!proportional_)
        return std::nullopt;
    LoopModel model = proportional_->model;
    if (integral_)
        model.kappa = integral_->model.kappa;
    return model;
}

const SearchStep& GainSearch::record(const QVector<float>& samples) {
    SearchStep step;
    step.number = int(steps_.size()) + 1;
    step.gains = *pending_;
    step.metrics = ComputeStepMetricsAgainstCommand(samples, commanded_);
    step.verdict = judge(samples, step.metrics);
    steps_.append(step);
    records_.append(samples);
    pending_.reset();
    if (steps_.size() < limits_.maxSteps)
        advance(samples);
    return steps_.last();
}

StepVerdict GainSearch::judge(const QVector<float>& samples, const StepMetrics& metrics) const {
    if (!metrics.finalAmperes)
        return StepVerdict::NotSettled;
    const double overshoot = metrics.overshootPercent.value_or(0);
    if (overshoot > 2 * limits_.maxOvershootPercent)
        return StepVerdict::Runaway;
    // A loop without integral action settles beside the command: it swings around its own end.
    const GainPair gains = *pending_;
    const double level = gains.ki == 0 ? finalOf(metrics) : commanded_;
    if (swingsAround(samples, level, kBand * std::abs(commanded_)) >= kSwingsOfOscillation)
        return StepVerdict::Oscillates;
    if (saturated(samples, gains))
        return StepVerdict::Saturates;
    if (overshoot > limits_.maxOvershootPercent)
        return StepVerdict::Overshoot;
    if (!metrics.settlingSamples || std::abs(finalOf(metrics) - commanded_) > kBand * commanded_)
        return StepVerdict::NotSettled;
    return StepVerdict::Accepted;
}

bool GainSearch::saturated(const QVector<float>& samples, GainPair gains) const {
    const std::optional<LoopModel> fitted = model();
    if (!fitted || (gains.ki > 0 && fitted->kappa == 0))
        return false;
    // Slower than every explanation of the proportional step would have the loop: as long as
    // the delay is not settled, the slowest of them is the one to beat.
    const int reached = firstReaching(samples, commanded_ / 2);
    for (const LoopFit& candidate : candidates_) {
        LoopModel loop = candidate.model;
        loop.kappa = fitted->kappa;
        const QVector<float> linear =
            SimulateLoop(loop, gains.kp, gains.ki, commanded_, int(samples.size()));
        const int predicted = firstReaching(linear, commanded_ / 2);
        if (predicted < 0)
            return false;
        const int start = loop.stepIndex;
        const double allowed = kSaturationSlowdown * (predicted - start) + kSaturationSlack;
        if (reached >= 0 && reached - start <= allowed)
            return false;
    }
    return !candidates_.isEmpty();
}

bool GainSearch::calm(const SearchStep& step) const {
    return !EndsDirection(step.verdict) && step.verdict != StepVerdict::Overshoot;
}

GainPair GainSearch::growthBase() const {
    const auto last = [this](auto&& wanted) -> std::optional<GainPair> {
        for (auto it = steps_.crbegin(); it != steps_.crend(); ++it)
            if (wanted(*it))
                return it->gains;
        return std::nullopt;
    };
    if (const auto accepted = last([](const SearchStep& step) { return step.accepted(); }))
        return *accepted;
    // A step with the proportional gain alone is a measurement, not a candidate: its Ki of 0
    // would hold the integral gain down for good.
    return last([this](const SearchStep& step) { return calm(step) && step.gains.ki > 0; })
        .value_or(start_);
}

GainPair GainSearch::bounded(GainPair pair) const {
    const GainPair base = growthBase();
    pair.kp = std::clamp(pair.kp, 1, std::min(kMaxGain, clampGain(kMaxGrowth * base.kp, 1)));
    pair.ki =
        std::clamp(pair.ki, 0, std::min(kMaxGain, clampGain(kMaxGrowth * std::max(base.ki, 1), 0)));
    return pair;
}

GainPair GainSearch::towardTarget() const {
    // Lower gains straight away. Higher ones by at most the factor of growth, and the integral
    // zero (the ratio Ki / Kp) first at the present bandwidth: a zero placed for a fast loop
    // makes a slow one overshoot.
    const GainPair base = growthBase();
    const double ratio = double(target_->ki) / target_->kp;
    const double baseRatio = double(base.ki) / base.kp;
    double kp = std::min(double(target_->kp), kMaxGrowth * base.kp);
    if (target_->kp > base.kp && target_->ki > 0 &&
        std::abs(std::log(baseRatio / ratio)) > std::log(kRatioTolerance))
        kp = base.kp;
    return bounded({clampGain(kp, 1), clampGain(kp * ratio, 0)});
}

void GainSearch::propose(GainPair pair) {
    pending_ = bounded(pair);
}

const SearchStep* GainSearch::measured(GainPair pair) const {
    for (const SearchStep& step : steps_)
        if (step.gains == pair)
            return &step;
    return nullptr;
}

bool GainSearch::better(const SearchStep& a, const SearchStep& b) const {
    if (a.accepted() != b.accepted())
        return a.accepted();
    const double overshootA = a.metrics.overshootPercent.value_or(0);
    const double overshootB = b.metrics.overshootPercent.value_or(0);
    if (a.accepted()) {
        if (*a.metrics.settlingSamples != *b.metrics.settlingSamples)
            return *a.metrics.settlingSamples < *b.metrics.settlingSamples;
        return overshootA < overshootB;
    }
    // Of two pairs that fail, the one nearer to the limits.
    if (EndsDirection(a.verdict) != EndsDirection(b.verdict))
        return !EndsDirection(a.verdict);
    // A response that never settles ranks by how far its end lies from the command.
    const auto badness = [this](const SearchStep& step, double overshoot) {
        const double excess = std::max(0.0, overshoot - limits_.maxOvershootPercent);
        const double offBy = std::abs(finalOf(step.metrics) - commanded_) / commanded_;
        const double settling =
            step.metrics.settlingSamples ? *step.metrics.settlingSamples : kNotSettled + offBy;
        return settling + 4 * excess;
    };
    return badness(a, overshootA) < badness(b, overshootB);
}

void GainSearch::advance(const QVector<float>& samples) {
    switch (phase_) {
    case Phase::Start:
        proportionalPair_ = {start_.kp, 0};
        phase_ = Phase::Proportional;
        if (start_.ki == 0) {
            afterProportional(samples); // the starting pair was a proportional step already
            return;
        }
        propose(proportionalPair_);
        return;
    case Phase::Proportional:
        afterProportional(samples);
        return;
    case Phase::IntegralProbe:
        afterIntegralProbe(samples);
        return;
    case Phase::Approach: {
        const SearchStep& last = steps_.last();
        if (!calm(last) || !target_ || last.gains == *target_) {
            startRefine();
            return;
        }
        // Each calm step is faster than the ones before: it tells the delay and the weight of
        // Ki better, and with them where the target lies.
        if (fitIntegral(samples, last.gains))
            target_ = modelOptimum().value_or(*target_);
        const GainPair next = towardTarget();
        if (measured(next)) {
            startRefine();
            return;
        }
        propose(next);
        return;
    }
    case Phase::Refine: {
        const SearchStep& last = steps_.last();
        if (EndsDirection(last.verdict))
            endedAt_[direction_] = factor_;
        if (better(last, *measured(centre_))) {
            centre_ = last.gains;
            triedAtFactor_ = 0; // keep going the same way
        } else {
            direction_ = (direction_ + 1) % int(kDirections.size());
            ++triedAtFactor_;
        }
        proposeRefinement();
        return;
    }
    }
}

void GainSearch::afterProportional(const QVector<float>& samples) {
    const SearchStep& last = steps_.last();
    const QVector<LoopFit> fits =
        EndsDirection(last.verdict)
            ? QVector<LoopFit>()
            : FitProportionalStep(samples, commanded_, proportionalPair_.kp);
    if (fits.isEmpty() || fits.first().residual > kFitTolerance) {
        if (++proportionalTries_ >= kProportionalTries) {
            startRefine(); // no model: the pattern search alone
            return;
        }
        // Too little response to fit wants more gain; a response that is not linear, less.
        const double ratio = finalOf(last.metrics) / commanded_;
        const bool tooSmall = !EndsDirection(last.verdict) && ratio < 0.05;
        proportionalPair_.kp = clampGain(proportionalPair_.kp * (tooSmall ? 2.0 : 0.5), 1);
        propose(proportionalPair_);
        proportionalPair_ = *pending_;
        return;
    }
    candidates_ = fits;
    proportional_ = *std::max_element(fits.begin(), fits.end(), [](const auto& a, const auto& b) {
        return a.model.delay < b.model.delay;
    });

    // The starting pair's step gives the weight of Ki, when it was a linear loop.
    const SearchStep& first = steps_.first();
    if (start_.ki > 0 && !EndsDirection(first.verdict) && fitIntegral(records_.first(), start_)) {
        startApproach();
        return;
    }
    // A step of its own: the starting pair's integral share at the proportional step's gain,
    // and a quarter of it when the starting pair was not calm.
    phase_ = Phase::IntegralProbe;
    const double share = calm(first) ? 1.0 : 0.25;
    const double ki = share * start_.ki * proportionalPair_.kp / start_.kp;
    propose({proportionalPair_.kp, clampGain(std::max(1.0, ki), 1)});
}

void GainSearch::afterIntegralProbe(const QVector<float>& samples) {
    fitIntegral(samples, steps_.last().gains);
    startApproach();
}

bool GainSearch::fitIntegral(const QVector<float>& samples, GainPair gains) {
    // The weight of Ki with each fit of the proportional step; the pair of fits that explains
    // this step best also settles which delay the loop has.
    // Where this step cannot tell them apart either, the longest delay: the gentler loop.
    QVector<QPair<LoopFit, LoopFit>> fits; // proportional, integral
    double least = 0;
    for (const LoopFit& candidate : candidates_) {
        const std::optional<LoopFit> integral =
            FitIntegralScale(candidate.model, samples, commanded_, gains.kp, gains.ki);
        if (!integral)
            continue;
        if (fits.isEmpty() || integral->residual < least)
            least = integral->residual;
        fits.append({candidate, *integral});
    }
    const QPair<LoopFit, LoopFit>* chosen = nullptr;
    for (const auto& fit : fits)
        if (ExplainsEquallyWell(fit.second.residual, least) &&
            (!chosen || fit.second.model.delay > chosen->second.model.delay))
            chosen = &fit;
    if (!chosen || chosen->second.residual > kFitTolerance)
        return false;
    proportional_ = chosen->first;
    integral_ = chosen->second;
    return true;
}

void GainSearch::startApproach() {
    target_ = modelOptimum();
    if (!target_) {
        startRefine();
        return;
    }
    phase_ = Phase::Approach;
    const GainPair next = towardTarget();
    if (measured(next)) {
        startRefine();
        return;
    }
    propose(next);
}

std::optional<GainPair> GainSearch::modelOptimum() const {
    const std::optional<LoopModel> fitted = model();
    if (!fitted || fitted->kappa <= 0 || fitted->gainPerKp <= 0)
        return std::nullopt;
    const int count = int(records_.first().size());
    const double overshootLimit = kModelOvershootReserve * limits_.maxOvershootPercent;
    std::optional<GainPair> found;
    int bestSettling = kNotSettled;
    const auto logStep = [](double low, double high, int i) {
        return low * std::pow(high / low, double(i) / (kModelGridPoints - 1));
    };
    for (int i = 0; i < kModelGridPoints; ++i) {
        const double kp = logStep(kLoopGainLowest, kLoopGainHighest, i) / fitted->gainPerKp;
        if (kp < 1 || kp > kMaxGain)
            continue;
        for (int j = 0; j < kModelGridPoints; ++j) {
            const double ki = logStep(kZeroLowest, kZeroHighest, j) * kp / fitted->kappa;
            if (ki > kMaxGain)
                continue;
            const GainPair pair{clampGain(kp, 1), clampGain(ki, 0)};
            const QVector<float> response =
                SimulateLoop(*fitted, pair.kp, pair.ki, commanded_, count);
            const StepMetrics metrics = ComputeStepMetricsAgainstCommand(response, commanded_);
            // Ending near the edge of the band leaves a real drive's noise to decide.
            if (!metrics.settlingSamples || metrics.overshootPercent.value_or(0) > overshootLimit ||
                std::abs(finalOf(metrics) - commanded_) > kModelBandReserve * kBand * commanded_)
                continue;
            // Ties go to the gentler pair: the grid runs from low gains up.
            if (*metrics.settlingSamples < bestSettling) {
                bestSettling = *metrics.settlingSamples;
                found = pair;
            }
        }
    }
    return found;
}

void GainSearch::startRefine() {
    phase_ = Phase::Refine;
    const SearchStep* centre = &steps_.first();
    for (const SearchStep& step : steps_)
        if (better(step, *centre))
            centre = &step;
    centre_ = centre->gains;
    factor_ = kFirstFactor;
    direction_ = 0;
    triedAtFactor_ = 0;
    std::fill(endedAt_.begin(), endedAt_.end(), 0.0);
    proposeRefinement();
}

void GainSearch::proposeRefinement() {
    const int directions = int(kDirections.size());
    while (factor_ >= kSmallestFactor) {
        if (triedAtFactor_ >= directions) {
            factor_ = std::sqrt(factor_);
            triedAtFactor_ = 0;
            continue;
        }
        const auto skip = [&] {
            direction_ = (direction_ + 1) % directions;
            ++triedAtFactor_;
        };
        if (endedAt_[direction_] > 0 && factor_ >= endedAt_[direction_]) {
            skip();
            continue;
        }
        const auto& [kpPower, kiPower] = kDirections[size_t(direction_)];
        const GainPair wanted{clampGain(centre_.kp * std::pow(factor_, kpPower), 1),
                              clampGain(std::max(centre_.ki, 1) * std::pow(factor_, kiPower), 0)};
        const GainPair candidate = bounded(wanted);
        // A move that the growth limit would bend is no move along this direction.
        if (candidate == centre_ || !(candidate == wanted)) {
            skip();
            continue;
        }
        if (const SearchStep* known = measured(candidate)) {
            if (better(*known, *measured(centre_))) {
                centre_ = candidate;
                triedAtFactor_ = 0;
            } else {
                skip();
            }
            continue;
        }
        pending_ = candidate;
        return;
    }
}

} // namespace kiro
