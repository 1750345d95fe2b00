#include "BenchSession.h"
#include "Commands.h"
#include "ComparisonReport.h"
#include "ParameterFileCheck.h"
#include "StandardOutput.h"

#include "link/DriveLink.h"
#include "storage/ParameterComparison.h"
#include "storage/ParameterFile.h"
#include "storage/ParameterTableSequences.h"

#include <cmath>
#include <cstdio>

namespace {

void showProgress(const char* what, int index) {
    BenchSession::progress(QStringLiteral("%1 register %2 (%3 of %4)")
                               .arg(QLatin1String(what))
                               .arg(kiro::RegisterOf(index))
                               .arg(index + 1)
                               .arg(kiro::kParameterCount));
}

constexpr double kQ10 = 1024;
// The largest current a parameter file carries.
constexpr float kMostFileAmperes = 63.99f;

// The set as a script reads it: one CSV line per parameter.
void printSet(const kiro::ParameterSet& set) {
    QString csv = QStringLiteral("register,name,value\n");
    for (int index = 0; index < kiro::kParameterCount; ++index) {
        const auto i = std::size_t(index);
        csv += QStringLiteral("%1,%2,%3\n")
                   .arg(kiro::RegisterOf(index))
                   .arg(csvField(set.ParamNames[i]), kiro::ShortestDecimal(set.ParamValues[i]));
    }
    standard_output::write(csv);
}

void note(const QString& text) {
    BenchSession::progress(QStringLiteral("qzcli: %1").arg(text));
}

// The set a saved file carries for the words read: the current exactly as the drive holds it
// (seven digits of amperes bring back the same word), not rounded to two decimals as the
// parameter table shows it, so that the file verifies against the drive it came from. What the
// format cannot carry, or a load would refuse, is said now rather than found out at the load.
kiro::ParameterSet setToSave(const kiro::ParameterWords& words) {
    kiro::ParameterSet set;
    for (int index = 0; index < kiro::kParameterCount; ++index) {
        const auto i = std::size_t(index);
        const quint16 raw = words[i];
        float value = raw;
        if (index == kiro::kAmperesIndex) {
            value = float(raw / kQ10);
            if (value > kMostFileAmperes) {
                note(QStringLiteral("register %1 holds %2 (%3 A), more than a parameter file "
                                    "carries; saved as %4 A (%5), which verify will report")
                         .arg(kiro::RegisterOf(index))
                         .arg(raw)
                         .arg(kiro::ShortestDecimal(value), kiro::ShortestDecimal(kMostFileAmperes))
                         .arg(std::lround(kMostFileAmperes * kQ10)));
                value = kMostFileAmperes;
            }
        }
        const kiro::ValidRange range = kiro::ParamValidRanges()[i];
        if (value < range.lowest || value > range.highest)
            note(QStringLiteral("register %1: the file's %2 is outside the valid range %3; loading "
                                "it needs --force")
                     .arg(kiro::RegisterOf(index))
                     .arg(kiro::ShortestDecimal(value), ValidRangeText(index)));
        set.ParamValues[i] = value;
    }
    return set;
}

// Why a current differs that may be the same setting: a file that holds the drive's current
// rounded (to the two decimals the parameter table shows, or to the most a file carries).
void explainRounding(const kiro::DriveComparison& comparison) {
    const quint16 currentRegister = kiro::RegisterOf(kiro::kAmperesIndex);
    for (const kiro::RegisterDifference& difference : comparison.differences) {
        if (difference.address != currentRegister)
            continue;
        const double file = difference.fileValue.toDouble();
        const double drive = difference.driveValue.toDouble();
        if (float(file) == kMostFileAmperes && drive > file)
            note(QStringLiteral("register %1: the file side is rounded: %2 A is the most a "
                                "parameter file carries; the drive holds %3 A")
                     .arg(currentRegister)
                     .arg(difference.fileValue, difference.driveValue));
        else if (std::abs(std::round(drive * 100) / 100 - file) < 1e-6)
            note(QStringLiteral("register %1: the file side is rounded: %2 A is the drive's %3 A "
                                "to two decimals, as the parameter table saves it; it is sent "
                                "as %4")
                     .arg(currentRegister)
                     .arg(difference.fileValue, difference.driveValue)
                     .arg(std::lround(file * kQ10)));
    }
}

int save(BenchSession& session, const QString& path) {
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    const auto words =
        kiro::ReadAllParameterWords(*link, [](int index) { showProgress("reading", index); });
    if (!words) {
        std::fprintf(stderr, "qzcli: the drive did not answer; %s is unchanged\n",
                     qPrintable(path));
        return kExitDriveFailed;
    }
    const kiro::ParameterSet set = setToSave(*words);
    QString problem;
    if (!kiro::WriteParameterFile(path, set, &problem)) {
        std::fprintf(stderr, "qzcli: cannot write %s: %s\n", qPrintable(path), qPrintable(problem));
        return kExitUsage;
    }
    printSet(set);
    return kExitDone;
}

// The whole file is checked before anything is sent; nullopt after saying why.
std::optional<kiro::ParameterSet> readSet(const QString& path, const ParameterFileRules& rules) {
    const kiro::ParameterFileReading reading = kiro::ReadParameterFile(path);
    if (!reading.set) {
        std::fprintf(stderr, "qzcli: %s is not a parameter file: %s\n", qPrintable(path),
                     qPrintable(reading.problem));
        return std::nullopt;
    }
    if (const std::optional<QString> refusal = RefusalForScript(*reading.set, rules)) {
        std::fprintf(stderr, "qzcli: %s: %s\n", qPrintable(path), qPrintable(*refusal));
        return std::nullopt;
    }
    return reading.set;
}

int compare(kiro::DriveLink& link, const kiro::ParameterSet& set, const QString& path) {
    const kiro::DriveComparison comparison =
        kiro::CompareParameters(link, set, [](int index) { showProgress("reading", index); });
    explainRounding(comparison);
    return reportComparison(comparison, path);
}

int load(BenchSession& session, const QString& path, bool verifyAfter,
         const ParameterFileRules& rules) {
    const std::optional<kiro::ParameterSet> set = readSet(path, rules);
    if (!set)
        return kExitUsage;
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    const bool allWritten = kiro::WriteAllParameters(
        *link, set->ParamValues, [](int index) { showProgress("writing", index); });
    if (!allWritten) {
        std::fprintf(stderr, "qzcli: not every parameter of %s reached the drive\n",
                     qPrintable(path));
        return kExitDriveFailed;
    }
    // A drive can acknowledge a write and keep something else: only reading back shows it.
    if (verifyAfter)
        return compare(*link, *set, path);
    printSet(*set);
    return kExitDone;
}

int verify(BenchSession& session, const QString& path, const ParameterFileRules& rules) {
    const std::optional<kiro::ParameterSet> set = readSet(path, rules);
    if (!set)
        return kExitUsage;
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    return compare(*link, *set, path);
}

int reset(BenchSession& session) {
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    const kiro::FactoryReset outcome = kiro::ResetToFactoryDefaults(*link, [](int index) {
        if (index < kiro::kParameterCount)
            showProgress("writing", index);
        else
            BenchSession::progress(QStringLiteral("committing to EEPROM"));
    });
    if (outcome == kiro::FactoryReset::DefaultsNotAllWritten) {
        std::fprintf(stderr, "qzcli: not every default arrived; the EEPROM was not written\n");
        return kExitDriveFailed;
    }
    if (outcome == kiro::FactoryReset::CommitFailed)
        return kExitDriveFailed;
    kiro::ParameterSet set;
    set.ParamValues = kiro::ParamDefaults();
    printSet(set);
    return kExitDone;
}

} // namespace

int runParams(BenchSession& session, const QStringList& args) {
    if (session.variantName() != QLatin1String("qz318"))
        return BenchSession::usage(QStringLiteral("params is for the qz318 variant"));
    QStringList words = args;
    const bool verifyAfter = words.removeAll(QStringLiteral("--verify")) > 0;
    ParameterFileRules rules;
    rules.byPosition = words.removeAll(QStringLiteral("--by-position")) > 0;
    rules.force = words.removeAll(QStringLiteral("--force")) > 0;
    const QString verb = words.value(0);
    if ((rules.byPosition || rules.force) &&
        (words.size() != 2 || (verb != QLatin1String("load") && verb != QLatin1String("verify"))))
        return BenchSession::usage(
            QStringLiteral("--by-position and --force belong to params load and params verify"));
    if (verifyAfter && (words.size() != 2 || verb != QLatin1String("load")))
        return BenchSession::usage(QStringLiteral("--verify belongs to params load FILE"));
    if (words.size() == 1 && verb == QLatin1String("reset"))
        return reset(session);
    if (words.size() == 2 && verb == QLatin1String("save"))
        return save(session, words[1]);
    if (words.size() == 2 && verb == QLatin1String("load"))
        return load(session, words[1], verifyAfter, rules);
    if (words.size() == 2 && verb == QLatin1String("verify"))
        return verify(session, words[1], rules);
    return BenchSession::usage(QStringLiteral(
        "params save FILE, params load [--verify] [--by-position] [--force] FILE, params verify "
        "[--by-position] [--force] FILE or params reset"));
}
