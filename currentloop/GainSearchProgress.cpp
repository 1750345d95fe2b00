#include "GainSearchProgress.h"

#include "StepFigureText.h"

namespace kiro {

namespace {
QString stepsText(qsizetype steps) {
    return steps == 1 ? QStringLiteral("1 step") : QStringLiteral("%1 steps").arg(steps);
}

QString putBack(const SearchRunResult& result, GainPair held) {
    return result.driveLeft
               ? QStringLiteral("%1 put back").arg(GainPairText(held))
               : QStringLiteral("the drive did not take back %1").arg(GainPairText(held));
}
} // namespace

GainSearchProgress::GainSearchProgress(QWidget* parent) : QProgressBar(parent) {
    setObjectName(QStringLiteral("SearchProgress"));
    setToolTip(QStringLiteral("The gain search: the steps it has measured of the most it may "
                              "take, then the pair it chose"));
    setAccessibleName(QStringLiteral("search progress"));
    setTextVisible(true);
    hide();
}

void GainSearchProgress::begin(int mostSteps) {
    setRange(0, mostSteps);
    setValue(0);
    setFormat(QStringLiteral("search: %v of %m steps"));
    show();
}

void GainSearchProgress::stepDone(int stepsDone) {
    setValue(stepsDone);
}

void GainSearchProgress::ended(const SearchRunResult& result, const GainSearch& search,
                               GainPair held) {
    // A search that found its pair before the most steps has done all it was going to.
    const int done = int(search.steps().size());
    if (search.finished() && done > 0)
        setRange(0, done);
    setValue(done);
    setFormat(endText(result, search, held));
}

QString GainSearchProgress::endText(const SearchRunResult& result, const GainSearch& search,
                                    GainPair held) {
    const qsizetype done = search.steps().size();
    switch (result.end) {
    case SearchEnd::BestWritten: {
        const SearchStep best = *search.best();
        return QStringLiteral("search: %1 written (step %2: settling %3 samples, overshoot %4 %)")
            .arg(GainPairText(best.gains))
            .arg(best.number)
            .arg(FigureText(best.metrics.settlingSamples))
            .arg(FigureText(best.metrics.overshootPercent, kPercentDecimals));
    }
    case SearchEnd::NoneMet:
        return QStringLiteral("search: no pair met the limits in %1; %2")
            .arg(stepsText(done), putBack(result, held));
    case SearchEnd::Stopped:
        return QStringLiteral("search: cancelled after %1; %2")
            .arg(stepsText(done), putBack(result, held));
    case SearchEnd::DriveFailed:
        break;
    }
    return QStringLiteral("search: the drive stopped answering after %1").arg(stepsText(done));
}

} // namespace kiro
