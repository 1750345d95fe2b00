#include "BenchSession.h"
#include "Commands.h"
#include "ComparisonReport.h"

#include "link/DriveLink.h"
#include "storage/ParameterComparison.h"
#include "storage/ParameterFile.h"
#include "storage/ParameterTableSequences.h"

#include <cstdio>

namespace {

void showProgress(const char* what, int index) {
    BenchSession::progress(QStringLiteral("%1 register %2 (%3 of %4)")
                               .arg(QLatin1String(what))
                               .arg(kiro::RegisterOf(index))
                               .arg(index + 1)
                               .arg(kiro::kParameterCount));
}

// The set as a script reads it: one CSV line per parameter.
void printSet(const kiro::ParameterSet& set) {
    std::printf("register,name,value\n");
    for (int index = 0; index < kiro::kParameterCount; ++index) {
        const auto i = std::size_t(index);
        std::printf("%d,%s,%s\n", kiro::RegisterOf(index), qPrintable(csvField(set.ParamNames[i])),
                    qPrintable(kiro::ShortestDecimal(set.ParamValues[i])));
    }
}

int save(BenchSession& session, const QString& path) {
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    const auto values =
        kiro::ReadAllParameters(*link, [](int index) { showProgress("reading", index); });
    if (!values) {
        std::fprintf(stderr, "qzcli: the drive did not answer; %s is unchanged\n",
                     qPrintable(path));
        return kExitDriveFailed;
    }
    kiro::ParameterSet set;
    set.ParamValues = *values;
    QString problem;
    if (!kiro::WriteParameterFile(path, set, &problem)) {
        std::fprintf(stderr, "qzcli: cannot write %s: %s\n", qPrintable(path), qPrintable(problem));
        return kExitUsage;
    }
    printSet(set);
    return kExitDone;
}

// The whole file is checked before anything is sent; nullopt after saying why.
std::optional<kiro::ParameterSet> readSet(const QString& path) {
    const kiro::ParameterFileReading reading = kiro::ReadParameterFile(path);
    if (!reading.set)
        std::fprintf(stderr, "qzcli: %s is not a parameter file: %s\n", qPrintable(path),
                     qPrintable(reading.problem));
    return reading.set;
}

int compare(kiro::DriveLink& link, const kiro::ParameterSet& set, const QString& path) {
    return reportComparison(
        kiro::CompareParameters(link, set, [](int index) { showProgress("reading", index); }),
        path);
}

int load(BenchSession& session, const QString& path, bool verifyAfter) {
    const std::optional<kiro::ParameterSet> set = readSet(path);
    if (!set)
        return kExitUsage;
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    const bool allWritten = kiro::WriteAllParameters(
        *link, set->ParamValues, [](int index) { showProgress("writing", index); });
    if (!allWritten)
        return kExitDriveFailed;
    // A drive can acknowledge a write and keep something else: only reading back shows it.
    if (verifyAfter)
        return compare(*link, *set, path);
    printSet(*set);
    return kExitDone;
}

int verify(BenchSession& session, const QString& path) {
    const std::optional<kiro::ParameterSet> set = readSet(path);
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
    if (!kiro::WriteFactoryDefaults(*link, [](int index) { showProgress("writing", index); })) {
        std::fprintf(stderr, "qzcli: not every default arrived; the EEPROM was not written\n");
        return kExitDriveFailed;
    }
    BenchSession::progress(QStringLiteral("committing to EEPROM"));
    if (!kiro::CommitToEeprom(*link))
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
    const QString verb = words.value(0);
    if (verifyAfter && (words.size() != 2 || verb != QLatin1String("load")))
        return BenchSession::usage(QStringLiteral("--verify belongs to params load FILE"));
    if (words.size() == 1 && verb == QLatin1String("reset"))
        return reset(session);
    if (words.size() == 2 && verb == QLatin1String("save"))
        return save(session, words[1]);
    if (words.size() == 2 && verb == QLatin1String("load"))
        return load(session, words[1], verifyAfter);
    if (words.size() == 2 && verb == QLatin1String("verify"))
        return verify(session, words[1]);
    return BenchSession::usage(QStringLiteral(
        "params save FILE, params load [--verify] FILE, params verify FILE or params reset"));
}
