#include "GainSearchRun.h"

#include "CurrentLoopTransactions.h"
#include "link/RegisterMap.h"

#include <algorithm>

namespace kiro {

namespace {
constexpr double kPeakShare = 0.5;
constexpr double kWithoutPeakAmperes = 1;
constexpr double kMaxStepAmperes = 5; // what register 4 takes
} // namespace

GainSearchRun::GainSearchRun(DriveLink& link, GainSearch& search, GainPair held)
    : link_(link), search_(search), held_(held) {
}

std::optional<SearchStep> GainSearchRun::step() {
    const GainPair pair = search_.nextPair();
    StepTestInputs inputs;
    inputs.kp = [pair] { return std::optional<float>(float(pair.kp)); };
    inputs.ki = [pair] { return std::optional<float>(float(pair.ki)); };
    inputs.testCurrent = [this] { return float(search_.commandedAmperes()); };
    const StepTestResult result = RunStepTest(link_, inputs);
    if (!result.done()) {
        failedAt_ = result.reached;
        return std::nullopt;
    }
    lastRecord_ = std::move(result.record);
    return search_.record(lastRecord_.Samples);
}

bool GainSearchRun::leaveTestMode() {
    return CurrentLoopTransactions(link_).endTest();
}

bool GainSearchRun::restore() {
    CurrentLoopTransactions drive(link_);
    // Each write is tried whatever became of the one before: a drive that misses one should
    // still get the others.
    const bool ended = drive.endTest();
    const bool kp = drive.writeGain(reg::CurrentLoopKp, float(held_.kp));
    const bool ki = drive.writeGain(reg::CurrentLoopKi, float(held_.ki));
    return ended && kp && ki;
}

bool GainSearchRun::keepBest() {
    const std::optional<SearchStep> best = search_.best();
    if (!best)
        return false;
    CurrentLoopTransactions drive(link_);
    const bool ended = drive.endTest();
    return drive.writeGain(reg::CurrentLoopKp, float(best->gains.kp)) &&
           drive.writeGain(reg::CurrentLoopKi, float(best->gains.ki)) && ended;
}

SearchRunResult RunGainSearch(DriveLink& link, GainSearch& search, GainPair held,
                              const std::function<bool()>& stopRequested,
                              const SearchStepMeasured& measured) {
    GainSearchRun run(link, search, held);
    SearchRunResult result;
    while (!search.finished()) {
        if (stopRequested && stopRequested()) {
            result.end = SearchEnd::Stopped;
            result.driveLeft = run.restore();
            return result;
        }
        const std::optional<SearchStep> step = run.step();
        if (!step) {
            result.end = SearchEnd::DriveFailed;
            result.failedAt = run.failedAt();
            result.driveLeft = run.restore();
            return result;
        }
        if (measured)
            measured(*step, run.lastRecord());
    }
    if (search.best()) {
        result.end = SearchEnd::BestWritten;
        result.driveLeft = run.keepBest();
        if (!result.driveLeft) {
            // The drive did not take the pair: put back what it had rather than leave half of it.
            run.restore();
            result.end = SearchEnd::DriveFailed;
        }
        return result;
    }
    result.end = SearchEnd::NoneMet;
    result.driveLeft = run.restore();
    return result;
}

std::optional<double> DefaultSearchCurrent(DriveLink& link) {
    const std::optional<quint16> peak =
        CurrentLoopTransactions(link).readRegister(reg::PeakCurrent);
    if (!peak)
        return std::nullopt;
    const double peakAmperes = qint16(*peak) / 1024.0;
    if (peakAmperes <= 0)
        return kWithoutPeakAmperes;
    return std::min(kMaxStepAmperes, kPeakShare * peakAmperes);
}

std::optional<GainPair> ReadHeldGains(DriveLink& link) {
    CurrentLoopTransactions drive(link);
    const std::optional<quint16> kp = drive.readRegister(reg::CurrentLoopKp);
    if (!kp)
        return std::nullopt;
    const std::optional<quint16> ki = drive.readRegister(reg::CurrentLoopKi);
    if (!ki)
        return std::nullopt;
    return GainPair{*kp, *ki};
}

} // namespace kiro
