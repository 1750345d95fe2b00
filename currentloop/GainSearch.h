#pragma once

#include "currentloop/LoopModel.h"
#include "currentloop/StepMetrics.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <optional>

namespace kiro {

// Raw register values of Kp (1 to 65535) and Ki (0 to 65535).
struct GainPair {
    int kp = 1;
    int ki = 0;
    friend bool operator==(const GainPair&, const GainPair&) = default;
};

// A pair as the search's messages name it: "Kp 1000, Ki 300".
QString GainPairText(GainPair gains);

// How one measured step was judged.
enum class StepVerdict {
    Accepted,   // settled within the band with the overshoot within the limit
    Overshoot,  // beyond the limit, but not twice as far
    NotSettled, // did not stay within 2 % of the command by the end of the record
    Runaway,    // overshoot beyond twice the limit
    Oscillates, // swings across the band again and again
    Saturates,  // far slower than a linear loop with these gains: the output hit the bus voltage
};

// A verdict that ends the direction the search was taking.
bool EndsDirection(StepVerdict verdict);

struct SearchStep {
    int number = 0; // 1 for the first step
    GainPair gains;
    StepMetrics metrics; // against the current commanded
    StepVerdict verdict = StepVerdict::NotSettled;
    bool accepted() const { return verdict == StepVerdict::Accepted; }
};

struct SearchLimits {
    double maxOvershootPercent = 5;
    int maxSteps = 40;
};

// The search for the current-loop gains that settle a step soonest within the limits, driven one
// step at a time: ask nextPair(), run the step test with it, hand the record to record(); stop
// when finished(). Nothing here talks to the drive, so a caller may stop between any two steps.
//
// How it learns the drive (whatever its gain scaling, winding or delay):
// 1. the starting pair, as it is;
// 2. a step with the proportional gain alone, fitted by a first-order winding with a delay: its
//    pole places the integral zero, its gain tells what a count of Kp does (a response that does
//    not fit a linear loop halves Kp and tries again);
// 3. the weight of a count of Ki, fitted to the starting pair's step (or to a step of its own
//    when the starting pair's was not linear), which also settles the delay where the
//    proportional step could not;
// 4. the pair the fitted model settles soonest with, approached on the drive: the integral zero
//    first, then the bandwidth, refitting with every calm step;
// 5. a bounded pattern search around the best measured pair, along the gain that sets the
//    bandwidth (both gains together) and along the integral zero (Ki alone), with shrinking
//    factors.
// Safety: no gain grows beyond twice its value in the last pair that met the limits (until one
// has, the last calm pair with integral action: within the overshoot limit, neither oscillating
// nor saturated; the starting pair before that), and a step that oscillates, saturates or
// overshoots beyond twice the limit ends the direction that led to it.
class GainSearch {
public:
    GainSearch(GainPair start, double stepAmperes, SearchLimits limits = {});

    // The current the drive is actually commanded: the step in whole 1/1024 A.
    double commandedAmperes() const { return commanded_; }
    const SearchLimits& limits() const { return limits_; }

    bool finished() const { return !pending_.has_value(); }
    // The pair to measure next; only while not finished.
    GainPair nextPair() const { return *pending_; }
    // The record of the step with nextPair(); returns how it was judged.
    const SearchStep& record(const QVector<float>& samples);

    const QVector<SearchStep>& steps() const { return steps_; }
    // The accepted step with the shortest settling, if any.
    std::optional<SearchStep> best() const;
    // What the search has learnt of the loop so far.
    std::optional<LoopModel> model() const;

private:
    enum class Phase { Start, Proportional, IntegralProbe, Approach, Refine };

    StepVerdict judge(const QVector<float>& samples, const StepMetrics& metrics) const;
    bool saturated(const QVector<float>& samples, GainPair gains) const;
    void advance(const QVector<float>& samples);
    void afterProportional(const QVector<float>& samples);
    void afterIntegralProbe(const QVector<float>& samples);
    bool fitIntegral(const QVector<float>& samples, GainPair gains);
    void startApproach();
    void startRefine();
    void proposeRefinement();
    std::optional<GainPair> modelOptimum() const;
    // Within the overshoot limit, neither oscillating nor saturated: safe to grow from.
    bool calm(const SearchStep& step) const;
    GainPair growthBase() const;
    GainPair bounded(GainPair pair) const;
    GainPair towardTarget() const;
    void propose(GainPair pair);
    bool better(const SearchStep& a, const SearchStep& b) const;
    const SearchStep* measured(GainPair pair) const;

    GainPair start_;
    double commanded_;
    SearchLimits limits_;
    QVector<SearchStep> steps_;
    QVector<QVector<float>> records_;
    std::optional<GainPair> pending_;
    Phase phase_ = Phase::Start;

    // What the search has learnt.
    QVector<LoopFit> candidates_; // fits of the proportional step, equally good
    std::optional<LoopFit> proportional_;
    std::optional<LoopFit> integral_;
    int proportionalTries_ = 0;
    GainPair proportionalPair_;
    std::optional<GainPair> target_;

    // The pattern search.
    GainPair centre_;
    double factor_ = 0;
    int direction_ = 0;
    int triedAtFactor_ = 0;
    QVector<double> endedAt_; // per direction: the factor at which it ended; 0 while open
};

} // namespace kiro
