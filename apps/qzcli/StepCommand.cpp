#include "BenchSession.h"
#include "Commands.h"
#include "Interruption.h"

#include "currentloop/CurrentLoopTransactions.h"
#include "currentloop/StepHistory.h"
#include "currentloop/StepMetrics.h"
#include "currentloop/StepTest.h"
#include "link/RegisterMap.h"

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

void print(const QByteArray& text) {
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

struct StepArguments {
    double current = 0;
    QList<int> kp; // empty: the drive keeps its own
    QList<int> ki;
    bool metrics = false;
};

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
    const kiro::StepRun run{record.Samples, known(step.kp, kp),    known(step.ki, ki),
                            step.current,   session.variantName(), QDateTime::currentDateTime()};
    if (const std::optional<QString> notKept = kiro::StepHistory().keep(run))
        BenchSession::progress(
            QStringLiteral("qzcli: the step is not kept in the history: %1").arg(*notKept));
}

int driveFailed(BenchSession& session, const QString& what) {
    BenchSession::progress(QStringLiteral("qzcli: %1").arg(what));
    session.prompter().tell(session.variant().failureMessage, session.variant().failureTitle);
    return kExitDriveFailed;
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

    // A gain that is not given stays as the drive holds it; where the output names the gains,
    // it names that one as read from the drive.
    QList<int> kps = step->kp;
    QList<int> kis = step->ki;
    for (auto [gains, address, name] : {std::tuple{&kps, kiro::reg::CurrentLoopKp, "Kp"},
                                        std::tuple{&kis, kiro::reg::CurrentLoopKi, "Ki"}}) {
        if (!gains->isEmpty())
            continue;
        if (output == Output::Record) {
            gains->append(0); // a stand-in: this output does not name the gains
            continue;
        }
        const std::optional<quint16> held = drive.readRegister(address);
        if (!held)
            return driveFailed(session, QStringLiteral("the drive did not answer while reading %1")
                                            .arg(QLatin1String(name)));
        gains->append(*held);
    }

    // Kp in the outer loop, Ki in the inner one.
    const int steps = int(kps.size() * kis.size());
    InterruptionGuard interruption;
    int done = 0;
    bool stepSent = false;
    std::optional<kiro::StepStage> failedAt;
    for (int pair = 0; pair < steps && !interruption.interrupted(); ++pair) {
        const int kp = kps[pair / kis.size()];
        const int ki = kis[pair % kis.size()];
        QString note = QStringLiteral("step test: %1 A").arg(step->current);
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
        stepSent = stepSent || result.reached >= kiro::StepStage::Step;
        if (!result.done()) {
            failedAt = result.reached;
            break;
        }
        keepInHistory(session, *step, output != Output::Record, kp, ki, result.record);
        print((done == 0 ? header(output) : QByteArray()) +
              results(output, kp, ki, step->current, result.record));
        ++done;
    }

    // Once a step command may have reached the drive, the drive is taken out of the test mode
    // whatever happened since: a failure, the last pair or Ctrl+C.
    const bool ended = !stepSent || drive.endTest();
    if (failedAt)
        return driveFailed(session, QStringLiteral("the drive did not answer while %1")
                                        .arg(QLatin1String(stageName(*failedAt))));
    if (!ended)
        return driveFailed(session, QStringLiteral("the drive did not leave the test mode"));
    if (done < steps) {
        BenchSession::progress(
            QStringLiteral("qzcli: interrupted after %1 of %2 steps%3")
                .arg(done)
                .arg(steps)
                .arg(stepSent ? QStringLiteral("; the drive left the test mode") : QString()));
        return kExitInterrupted;
    }
    return kExitDone;
}
