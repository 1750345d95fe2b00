#pragma once

#include "currentloop/GainSearch.h"
#include "currentloop/StepTest.h"

#include <functional>
#include <optional>

namespace kiro {

class DriveLink;

// The gain search on a drive, one step test at a time, and the way the drive is left when the
// search ends for whatever reason. The caller holds the link's session; between two steps it may
// stop (a signal, a cancel) and call restore().
class GainSearchRun {
public:
    // held: the gains the drive had before the search, which every end but a found pair puts back.
    GainSearchRun(DriveLink& link, GainSearch& search, GainPair held);

    // The step test with the search's next pair, its record handed to the search. nullopt when
    // the drive did not answer (failedAt() tells at which stage); the drive is then as it was
    // left, and restore() is the way out.
    std::optional<SearchStep> step();
    std::optional<StepStage> failedAt() const { return failedAt_; }
    // The record of the last step that was read.
    const StepRecord& lastRecord() const { return lastRecord_; }

    // The drive out of its test mode (register 2 := 0) and the gains it held put back; true when
    // the drive took all three writes. Safe to call whether or not a step was sent.
    bool restore();
    // The drive out of its test mode with the search's best pair in place; false when the drive
    // did not take it (restore() is then worth a try) or when no pair met the limits.
    bool keepBest();

private:
    bool leaveTestMode();

    DriveLink& link_;
    GainSearch& search_;
    GainPair held_;
    std::optional<StepStage> failedAt_;
    StepRecord lastRecord_;
};

// How a whole search on the drive ended.
enum class SearchEnd {
    BestWritten, // a pair met the limits and the drive holds it
    NoneMet,     // no pair did; the drive holds its gains from before
    Stopped,     // asked to stop between two steps; gains from before
    DriveFailed, // the drive stopped answering; gains from before if it took them again
};

struct SearchRunResult {
    SearchEnd end = SearchEnd::DriveFailed;
    // Whether the drive took the writes that leave it (test mode ended, gains in place).
    bool driveLeft = false;
    std::optional<StepStage> failedAt; // with DriveFailed
};

// After each step of a search: the step as it was judged, and the record it was judged by.
using SearchStepMeasured = std::function<void(const SearchStep&, const StepRecord&)>;

// The search from its first step to its end: before each step stopRequested() is asked; after
// each, measured() gets the step (for a progress line or a plot). Every end leaves the drive out
// of its test mode, with the best pair or with the gains it held.
SearchRunResult RunGainSearch(DriveLink& link, GainSearch& search, GainPair held,
                              const std::function<bool()>& stopRequested,
                              const SearchStepMeasured& measured);

// The step current the search uses unless told otherwise: half the drive's peak current setting
// (register 31), or 1 A when the drive has none; nullopt when the drive does not answer.
std::optional<double> DefaultSearchCurrent(DriveLink& link);

// The gains the drive holds now; nullopt when it does not answer.
std::optional<GainPair> ReadHeldGains(DriveLink& link);

} // namespace kiro
