#include "BenchSession.h"
#include "Commands.h"

#include "currentloop/CurrentLoopTransactions.h"
#include "currentloop/StepTest.h"

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

struct StepArguments {
    double current = 0;
    std::optional<int> kp;
    std::optional<int> ki;
};

// CURRENT [--kp N] [--ki N], in any order after the current; nullopt after printing the usage.
std::optional<StepArguments> parse(const QStringList& args, int& exitCode) {
    StepArguments parsed;
    bool currentGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& word = args[i];
        if (word == QLatin1String("--kp") || word == QLatin1String("--ki")) {
            const bool kp = word == QLatin1String("--kp");
            const auto gain =
                i + 1 < args.size() ? parseNumber(args[i + 1], kp ? 1 : 0, kMaxGain) : std::nullopt;
            if (!gain) {
                exitCode = BenchSession::usage(QStringLiteral("%1 needs a number from %2 to %3")
                                                   .arg(word)
                                                   .arg(kp ? 1 : 0)
                                                   .arg(kMaxGain));
                return std::nullopt;
            }
            (kp ? parsed.kp : parsed.ki) = *gain;
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

} // namespace

int runStep(BenchSession& session, const QStringList& args) {
    int usageExit = kExitUsage;
    const std::optional<StepArguments> step = parse(args, usageExit);
    if (!step)
        return usageExit;

    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session exchange(*link);
    BenchSession::progress(QStringLiteral("step test: %1 A").arg(step->current));

    kiro::StepTestInputs inputs;
    inputs.kp = [&]() -> std::optional<float> {
        return step->kp ? std::optional<float>(float(*step->kp)) : std::nullopt;
    };
    inputs.ki = [&]() -> std::optional<float> {
        return step->ki ? std::optional<float>(float(*step->ki)) : std::nullopt;
    };
    inputs.testCurrent = [&] { return float(step->current); };
    const kiro::StepTestResult result = kiro::RunStepTest(*link, inputs);

    // Once the step command may have reached the drive, the drive is taken out of the test mode
    // whatever happened since.
    const bool stepSent = result.reached >= kiro::StepStage::Step;
    const bool ended = !stepSent || kiro::CurrentLoopTransactions(*link).endTest();
    if (!result.done()) {
        BenchSession::progress(QStringLiteral("qzcli: the drive did not answer while %1")
                                   .arg(QLatin1String(stageName(result.reached))));
        session.prompter().tell(session.variant().failureMessage, session.variant().failureTitle);
        return kExitDriveFailed;
    }

    QByteArray csv("sample,amperes\n");
    for (int k = 0; k < result.record.Samples.size(); ++k)
        csv += QByteArray::number(k) + ',' + exactDecimal(result.record.Samples[k]) + '\n';
    std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
    std::fflush(stdout);
    if (!ended) {
        BenchSession::progress(QStringLiteral("qzcli: the drive did not leave the test mode"));
        session.prompter().tell(session.variant().failureMessage, session.variant().failureTitle);
        return kExitDriveFailed;
    }
    return kExitDone;
}
