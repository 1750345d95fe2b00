#include "BenchSession.h"
#include "Commands.h"
#include "SafeEnding.h"
#include "StandardOutput.h"

#include "currentloop/CurrentLoopTransactions.h"
#include "currentloop/StepHistory.h"
#include "currentloop/StepMetrics.h"
#include "currentloop/StepTest.h"
#include "link/RegisterMap.h"
#include "link/RequestFrame.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kMaxCurrent = 5;
constexpr int kMaxGain = 65535;

const char* stageName(kiro::StepStage stage) {
    switch (stage) {
    case kiro::StepStage::Kp:
        return "writing Kp";
    case kiro::StepStage::Ki:
        return "writing Ki";
    case kiro::StepStage::TestCurrent:
        return "writing the step current";
    case kiro::StepStage::Step:
        return "starting the step";
    case kiro::StepStage::Record:
        return "reading the record";
    case kiro::StepStage::Done:
        break;
    }
    return "done";
}

// Every sample is a whole number of 1/1024 A, so the shortest text that reads back as the same
// double is its exact value.
QByteArray exactDecimal(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QByteArray(buffer, int(result.ptr - buffer));
}

// A figure rounded to the given decimals ("-0.0000" never shows); empty without a value.
QByteArray rounded(std::optional<double> value, int decimals) {
    if (!value)
        return {};
    const double scale = std::pow(10.0, decimals);
    double figure = std::round(*value * scale) / scale;
    if (figure == 0)
        figure = 0;
    return QByteArray::number(figure, 'f', decimals);
}

QByteArray count(std::optional<int> value) {
    return value ? QByteArray::number(*value) : QByteArray();
}

struct StepArguments {
    double current = 0;
    QList<int> kp; // empty: the drive keeps its own
    QList<int> ki;
    bool metrics = false;
    bool keepGains = false;    // a sweep leaves the last pair in the drive
    double writtenCurrent = 0; // what the drive gets: a whole number of 1/1024 A
};

constexpr double kQ10 = 1024;

// "N" or "N,N,...", each from lowest to kMaxGain.
std::optional<QList<int>> parseGains(const QString& text, int lowest) {
    QList<int> gains;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const std::optional<int> gain = parseNumber(item, lowest, kMaxGain);
        if (!gain)
            return std::nullopt;
        gains.append(*gain);
    }
    return gains;
}

// CURRENT [--kp N[,N...]] [--ki N[,N...]] [--metrics], in any order after the current; nullopt
// after printing the usage.
std::optional<StepArguments> parse(const QStringList& args, int& exitCode) {
    StepArguments parsed;
    bool currentGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& word = args[i];
        if (word == QLatin1String("--metrics")) {
            parsed.metrics = true;
            continue;
        }
        if (word == QLatin1String("--keep-gains")) {
            parsed.keepGains = true;
            continue;
        }
        if (word == QLatin1String("--kp") || word == QLatin1String("--ki")) {
            const bool kp = word == QLatin1String("--kp");
            const auto gains =
                i + 1 < args.size() ? parseGains(args[i + 1], kp ? 1 : 0) : std::nullopt;
            if (!gains) {
                exitCode = BenchSession::usage(
                    QStringLiteral("%1 needs a number from %2 to %3, or a list of them separated "
                                   "by commas")
                        .arg(word)
                        .arg(kp ? 1 : 0)
                        .arg(kMaxGain));
                return std::nullopt;
            }
            (kp ? parsed.kp : parsed.ki) = *gains;
            ++i;
            continue;
        }
        bool ok = false;
        const double current = word.toDouble(&ok);
        if (currentGiven || !ok || !std::isfinite(current) || current < 0 ||
            current > kMaxCurrent) {
            exitCode = BenchSession::usage(
                currentGiven ? QStringLiteral("unexpected '%1' for step").arg(word)
                             : QStringLiteral("the step current '%1' is not a number of amperes "
                                              "from 0 to 5")
                                   .arg(word));
            return std::nullopt;
        }
        parsed.current = current;
        currentGiven = true;
    }
    if (!currentGiven) {
        exitCode = BenchSession::usage(QStringLiteral("step needs the step current in amperes"));
        return std::nullopt;
    }
    // The drive takes the current as a whole number of 1/1024 A, rounded as the link rounds it.
    const quint16 word = kiro::WordFromSingle(float(parsed.current) * float(kQ10)).value_or(0);
    parsed.writtenCurrent = word / kQ10;
    if (parsed.current > 0 && word == 0) {
        exitCode = BenchSession::usage(
            QStringLiteral("the step current %1 A would reach the drive as 0 A: its resolution "
                           "is 1/1024 A (%2 A)")
                .arg(parsed.current)
                .arg(1 / kQ10));
        return std::nullopt;
    }
    return parsed;
}

// How the results are printed: the record alone (one step with the gains as given), the record
// of each pair with its gains in front (a sweep), or the figures of each pair.
enum class Output { Record, RecordsWithGains, Metrics };

QByteArray header(Output output) {
    switch (output) {
    case Output::Record:
        return "sample,amperes\n";
    case Output::RecordsWithGains:
        return "kp,ki,sample,amperes\n";
    case Output::Metrics:
        break;
    }
    return "kp,ki,final_amperes,steady_state_error_amperes,rise_samples,overshoot_percent,"
           "settling_samples\n";
}

QByteArray results(Output output, int kp, int ki, double current, const kiro::StepRecord& record) {
    const QByteArray gains = QByteArray::number(kp) + ',' + QByteArray::number(ki) + ',';
    if (output == Output::Metrics) {
        const kiro::StepMetrics figures = kiro::ComputeStepMetrics(record.Samples, current);
        return gains + rounded(figures.finalAmperes, 4) + ',' +
               rounded(figures.steadyStateErrorAmperes, 4) + ',' + count(figures.riseSamples) +
               ',' + rounded(figures.overshootPercent, 2) + ',' + count(figures.settlingSamples) +
               '\n';
    }
    const QByteArray prefix = output == Output::RecordsWithGains ? gains : QByteArray();
    QByteArray csv;
    for (int k = 0; k < record.Samples.size(); ++k)
        csv += prefix + QByteArray::number(k) + ',' + exactDecimal(record.Samples[k]) + '\n';
    return csv;
}

// Every step is also kept in the history; a gain the command neither wrote nor read from the
// drive stays unnamed there. A history that cannot be written is told, and the step goes on.
void keepInHistory(const BenchSession& session, const StepArguments& step, bool gainsRead, int kp,
                   int ki, const kiro::StepRecord& record) {
    const auto known = [gainsRead](const QList<int>& given, int gain) {
        return gainsRead || !given.isEmpty() ? std::optional<int>(gain) : std::nullopt;
    };
    const kiro::StepRun run{record.Samples,        known(step.kp, kp),
                            known(step.ki, ki),    float(step.writtenCurrent),
                            session.variantName(), QDateTime::currentDateTime()};
    if (const std::optional<QString> notKept = kiro::StepHistory().keep(run))
        BenchSession::progress(
            QStringLiteral("qzcli: the step is not kept in the history: %1").arg(*notKept));
}

int driveFailed(BenchSession& session, const QString& what) {
    BenchSession::progress(QStringLiteral("qzcli: %1").arg(what));
    session.prompter().tell(session.variant().failureMessage, session.variant().failureTitle);
    return kExitDriveFailed;
}

// Where the steps got to, for the closing message: "after 2 of 6 steps" and, for a step that was
// under way, the stage it stopped at.
QString howFar(int done, int steps, std::optional<kiro::StepStage> stoppedAt) {
    QString text = QStringLiteral("after %1 of %2 step%3")
                       .arg(done)
                       .arg(steps)
                       .arg(steps == 1 ? QString() : QStringLiteral("s"));
    if (stoppedAt)
        text += QStringLiteral(" (step %1 stopped while %2)")
                    .arg(done + 1)
                    .arg(QLatin1String(stageName(*stoppedAt)));
    return text;
}

// The gains a sweep overwrites, read before the first pair so that they can be put back.
struct HeldGains {
    std::optional<quint16> kp, ki, testCurrent;
};

// Reads the registers asked for (Kp, Ki, the step current) into held; the name of the first that
// did not come, or nullopt. A signal stops the reading.
std::optional<QString> readHeld(kiro::CurrentLoopTransactions& drive, HeldGains& held,
                                std::array<bool, 3> wanted) {
    const std::tuple<std::optional<quint16>*, quint16, const char*> registers[] = {
        {&held.kp, kiro::reg::CurrentLoopKp, "Kp"},
        {&held.ki, kiro::reg::CurrentLoopKi, "Ki"},
        {&held.testCurrent, kiro::reg::StepTestCurrent, "the step current"}};
    for (std::size_t k = 0; k < wanted.size() && !SafeEnding::stopRequested(); ++k) {
        const auto [value, address, name] = registers[k];
        if (!wanted[k])
            continue;
        *value = drive.readRegister(address);
        if (!*value)
            return QLatin1String(name);
    }
    return std::nullopt;
}

// How far the steps got, for the closing message and exit code.
struct Progress {
    int done = 0;
    int steps = 0;
    std::optional<kiro::StepStage> failedAt;
    bool sweep = false;
};

// The last word on standard error and the exit code, once the drive has been left safe: a signal
// first, then a drive that failed, then output that was lost.
int closing(const Progress& progress, const SafeEnding::Ending& safe, BenchSession& session) {
    const auto [done, steps, failedAt, sweep] = progress;
    const QString afterwards =
        safe.summary.isEmpty() ? QString() : QStringLiteral("; ") + safe.summary;
    if (SafeEnding::stopRequested()) {
        BenchSession::progress(QStringLiteral("qzcli: stopped by %1 %2%3")
                                   .arg(SafeEnding::signalName(SafeEnding::caughtSignal()),
                                        howFar(done, steps, failedAt), afterwards));
        return SafeEnding::exitCode();
    }
    if (failedAt)
        return driveFailed(session, QStringLiteral("the drive did not answer while %1 (%2)%3")
                                        .arg(QLatin1String(stageName(*failedAt)),
                                             howFar(done, steps, std::nullopt), afterwards));
    if (standard_output::failed()) {
        BenchSession::progress(
            QStringLiteral("qzcli: the results could not be written (%1) %2%3")
                .arg(standard_output::problem(), howFar(done, steps, std::nullopt), afterwards));
        return kExitUsage;
    }
    if (!safe.testModeLeft || !safe.restored)
        return driveFailed(session, safe.summary);
    if (sweep)
        BenchSession::progress(QStringLiteral("qzcli: %1 steps done%2").arg(steps).arg(afterwards));
    return kExitDone;
}

} // namespace

int runStep(BenchSession& session, const QStringList& args) {
    int usageExit = kExitUsage;
    const std::optional<StepArguments> step = parse(args, usageExit);
    if (!step)
        return usageExit;
    const bool sweep = step->kp.size() > 1 || step->ki.size() > 1;
    const Output output =
        step->metrics ? Output::Metrics : (sweep ? Output::RecordsWithGains : Output::Record);

    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session exchange(*link);
    kiro::CurrentLoopTransactions drive(*link);
    // From here on every way of ending leaves the drive safe: signals are caught, and the link's
    // waits end at once when a signal asks for haste.
    SafeEnding ending(drive);
    session.clock().setCutShort(&SafeEnding::cutShort);

    // What a sweep overwrites is put back at its end; a gain that is not given stays as the drive
    // holds it, and where the output names the gains, it names that one as read from the drive.
    const bool restore = sweep && !step->keepGains;
    const bool namesGains = output != Output::Record;
    HeldGains held;
    const std::optional<QString> unread =
        readHeld(drive, held,
                 {restore || (step->kp.isEmpty() && namesGains),
                  restore || (step->ki.isEmpty() && namesGains), restore});
    if (unread && !SafeEnding::stopRequested())
        return driveFailed(
            session, QStringLiteral("the drive did not answer while reading %1").arg(*unread));
    if (SafeEnding::stopRequested()) {
        BenchSession::progress(QStringLiteral("qzcli: stopped by %1 before the first step; the "
                                              "drive was not changed")
                                   .arg(SafeEnding::signalName(SafeEnding::caughtSignal())));
        return SafeEnding::exitCode();
    }
    if (restore) {
        ending.restoreAtEnd(kiro::reg::CurrentLoopKp, *held.kp);
        ending.restoreAtEnd(kiro::reg::CurrentLoopKi, *held.ki);
        ending.restoreAtEnd(kiro::reg::StepTestCurrent, *held.testCurrent);
    }
    const QList<int> kps = step->kp.isEmpty() ? QList<int>{held.kp.value_or(0)} : step->kp;
    const QList<int> kis = step->ki.isEmpty() ? QList<int>{held.ki.value_or(0)} : step->ki;

    // Kp in the outer loop, Ki in the inner one.
    const int steps = int(kps.size() * kis.size());
    int done = 0;
    std::optional<kiro::StepStage> failedAt;
    for (int pair = 0; pair < steps && !SafeEnding::stopRequested(); ++pair) {
        const int kp = kps[pair / kis.size()];
        const int ki = kis[pair % kis.size()];
        QString note = QStringLiteral("step test: %1 A").arg(step->writtenCurrent);
        if (output != Output::Record)
            note += QStringLiteral(", Kp %1, Ki %2").arg(kp).arg(ki);
        if (steps > 1)
            note += QStringLiteral(" (%1/%2)").arg(pair + 1).arg(steps);
        BenchSession::progress(note);

        kiro::StepTestInputs inputs;
        inputs.kp = [&]() -> std::optional<float> {
            return step->kp.isEmpty() ? std::nullopt : std::optional<float>(float(kp));
        };
        inputs.ki = [&]() -> std::optional<float> {
            return step->ki.isEmpty() ? std::nullopt : std::optional<float>(float(ki));
        };
        inputs.testCurrent = [&] { return float(step->current); };
        const kiro::StepTestResult result = kiro::RunStepTest(*link, inputs);
        if (result.reached >= kiro::StepStage::Step)
            ending.testModeMayBeOn();
        if (!result.done()) {
            failedAt = result.reached;
            break;
        }
        keepInHistory(session, *step, output != Output::Record, kp, ki, result.record);
        // A step that finished is reported, even when a signal came while it ran.
        const bool written =
            standard_output::write((done == 0 ? header(output) : QByteArray()) +
                                   results(output, kp, ki, step->writtenCurrent, result.record));
        ++done;
        if (!written)
            break;
    }

    // Once a step command may have reached the drive, the drive is taken out of the test mode
    // whatever happened since: a failure, the last pair, a signal or a lost output.
    const SafeEnding::Ending safe = ending.leaveDriveSafe();
    return closing({done, steps, failedAt, sweep}, safe, session);
}
