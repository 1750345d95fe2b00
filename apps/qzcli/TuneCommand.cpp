#include "TuneCommand.h"

#include "BenchSession.h"
#include "SafeEnding.h"
#include "StandardOutput.h"

#include "currentloop/CurrentLoopTransactions.h"
#include "currentloop/GainSearchRun.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kMaxCurrent = 5;
constexpr int kMaxGain = 65535;
constexpr int kMostSteps = 1000;

struct TuneArguments {
    std::optional<double> current; // default: from the drive's peak current
    double maxOvershoot = 5;
    int maxSteps = 40;
    std::optional<int> kp; // default: what the drive holds
    std::optional<int> ki;
};

std::optional<double> parseAmount(const QString& text, double lowest, double highest) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// [--current A] [--max-overshoot PCT] [--max-steps N] [--kp N] [--ki N]; nullopt after printing
// the usage.
std::optional<TuneArguments> parse(const QStringList& args) {
    TuneArguments parsed;
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        QString problem;
        if (option == QLatin1String("--current")) {
            parsed.current = parseAmount(value, 0, kMaxCurrent);
            if (!parsed.current || *parsed.current * 1024 < 1)
                problem = QStringLiteral("--current needs amperes above 0, up to 5");
        } else if (option == QLatin1String("--max-overshoot")) {
            const auto overshoot = parseAmount(value, 0, 100);
            if (overshoot)
                parsed.maxOvershoot = *overshoot;
            else
                problem = QStringLiteral("--max-overshoot needs a percentage from 0 to 100");
        } else if (option == QLatin1String("--max-steps")) {
            const auto steps = parseNumber(value, 1, kMostSteps);
            if (steps)
                parsed.maxSteps = *steps;
            else
                problem = QStringLiteral("--max-steps needs a number from 1 to %1").arg(kMostSteps);
        } else if (option == QLatin1String("--kp") || option == QLatin1String("--ki")) {
            const bool kp = option == QLatin1String("--kp");
            const auto gain = parseNumber(value, kp ? 1 : 0, kMaxGain);
            if (gain)
                (kp ? parsed.kp : parsed.ki) = gain;
            else
                problem = QStringLiteral("%1 needs a number from %2 to %3")
                              .arg(option)
                              .arg(kp ? 1 : 0)
                              .arg(kMaxGain);
        } else {
            problem = QStringLiteral("unexpected '%1' for tune").arg(option);
        }
        if (!problem.isEmpty()) {
            BenchSession::usage(problem);
            return std::nullopt;
        }
        ++i;
    }
    return parsed;
}

QByteArray figure(std::optional<double> value, int decimals) {
    if (!value)
        return {};
    double rounded = std::round(*value * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
    if (rounded == 0)
        rounded = 0; // never "-0.00"
    return QByteArray::number(rounded, 'f', decimals);
}

QByteArray line(const kiro::SearchStep& step) {
    const kiro::StepMetrics& metrics = step.metrics;
    return QByteArray::number(step.number) + ',' + QByteArray::number(step.gains.kp) + ',' +
           QByteArray::number(step.gains.ki) + ',' + figure(metrics.finalAmperes, 4) + ',' +
           figure(metrics.overshootPercent, 2) + ',' +
           (metrics.settlingSamples ? QByteArray::number(*metrics.settlingSamples) : QByteArray()) +
           ',' + (step.accepted() ? "yes" : "no") + '\n';
}

QString stepsText(qsizetype steps) {
    return steps == 1 ? QStringLiteral("1 step") : QStringLiteral("%1 steps").arg(steps);
}

int driveFailed(BenchSession& session, const QString& what) {
    BenchSession::progress(QStringLiteral("qzcli: %1").arg(what));
    session.prompter().tell(session.variant().failureMessage, session.variant().failureTitle);
    return kExitDriveFailed;
}

} // namespace

int runTune(BenchSession& session, const QStringList& args) {
    const std::optional<TuneArguments> tune = parse(args);
    if (!tune)
        return kExitUsage;

    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session exchange(*link);

    const std::optional<kiro::GainPair> held = kiro::ReadHeldGains(*link);
    if (!held)
        return driveFailed(session, QStringLiteral("the drive did not answer while reading its "
                                                   "gains"));
    const std::optional<double> current =
        tune->current ? tune->current : kiro::DefaultSearchCurrent(*link);
    if (!current)
        return driveFailed(session, QStringLiteral("the drive did not answer while reading its "
                                                   "peak current"));
    const kiro::GainPair start{tune->kp.value_or(held->kp), tune->ki.value_or(held->ki)};
    kiro::GainSearch search(start, *current, {tune->maxOvershoot, tune->maxSteps});
    BenchSession::progress(
        QStringLiteral("tune: %1 A steps, at most %2, overshoot up to %3 %, from %4")
            .arg(search.commandedAmperes())
            .arg(tune->maxSteps)
            .arg(tune->maxOvershoot)
            .arg(kiro::GainPairText(start)));

    // Ctrl+C, SIGTERM, SIGHUP or a closed output pipe end the search before its next step; the
    // step under way finishes, so that the search's own ending puts the gains back on a drive
    // that is not in the middle of a transaction.
    kiro::CurrentLoopTransactions drive(*link);
    const SafeEnding signalsNoted(drive);
    bool outputFailed =
        !standard_output::write(QByteArrayLiteral("step,kp,ki,final_amperes,overshoot_percent,"
                                                  "settling_samples,accepted\n"));
    const kiro::SearchRunResult result = kiro::RunGainSearch(
        *link, search, *held, [&] { return SafeEnding::stopRequested() || outputFailed; },
        [&](const kiro::SearchStep& step, const kiro::StepRecord&) {
            outputFailed = outputFailed || !standard_output::write(line(step));
        });

    const QString restored = result.driveLeft
                                 ? QStringLiteral("the drive has its gains back (%1) and left "
                                                  "the test mode")
                                       .arg(kiro::GainPairText(*held))
                                 : QStringLiteral("the drive did not take back its gains (%1)")
                                       .arg(kiro::GainPairText(*held));
    if (SafeEnding::stopRequested()) {
        BenchSession::progress(QStringLiteral("qzcli: stopped by %1 after %2; %3")
                                   .arg(SafeEnding::signalName(SafeEnding::caughtSignal()),
                                        stepsText(search.steps().size()), restored));
        return SafeEnding::exitCode();
    }
    if (result.end == kiro::SearchEnd::DriveFailed)
        return driveFailed(session, QStringLiteral("the drive stopped answering during the "
                                                   "search; %1")
                                        .arg(restored));
    if (outputFailed) {
        // Standard output's closing names the cause.
        BenchSession::progress(
            QStringLiteral("qzcli: the search stopped, as its results could not be written; %1")
                .arg(restored));
        return kExitUsage;
    }
    if (result.end == kiro::SearchEnd::NoneMet) {
        BenchSession::progress(
            QStringLiteral("qzcli: no pair met the limits in %1; %2")
                .arg(stepsText(search.steps().size()),
                     result.driveLeft ? restored : QStringLiteral("and ") + restored));
        return result.driveLeft ? kExitNoPairMet : kExitDriveFailed;
    }
    const kiro::SearchStep best = *search.best();
    BenchSession::progress(
        QStringLiteral("chosen: %1 (step %2): settling %3 samples, overshoot %4 %, final %5 A; "
                       "written to the drive")
            .arg(kiro::GainPairText(best.gains))
            .arg(best.number)
            .arg(*best.metrics.settlingSamples)
            .arg(QString::fromLatin1(figure(best.metrics.overshootPercent, 2)))
            .arg(QString::fromLatin1(figure(best.metrics.finalAmperes, 4))));
    return kExitDone;
}
