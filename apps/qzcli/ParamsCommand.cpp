#include "BenchSession.h"
#include "Commands.h"

#include "link/DriveLink.h"
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
        std::printf("%d,%s,%s\n", kiro::RegisterOf(index), qPrintable(set.ParamNames[i]),
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

int load(BenchSession& session, const QString& path) {
    // The whole file is checked before anything is sent.
    const kiro::ParameterFileReading reading = kiro::ReadParameterFile(path);
    if (!reading.set) {
        std::fprintf(stderr, "qzcli: %s is not a parameter file: %s\n", qPrintable(path),
                     qPrintable(reading.problem));
        return kExitUsage;
    }
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    const bool allWritten = kiro::WriteAllParameters(
        *link, reading.set->ParamValues, [](int index) { showProgress("writing", index); });
    if (!allWritten)
        return kExitDriveFailed;
    printSet(*reading.set);
    return kExitDone;
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
    if (args.size() == 1 && args[0] == QLatin1String("reset"))
        return reset(session);
    if (args.size() == 2 && args[0] == QLatin1String("save"))
        return save(session, args[1]);
    if (args.size() == 2 && args[0] == QLatin1String("load"))
        return load(session, args[1]);
    return BenchSession::usage(
        QStringLiteral("params save FILE, params load FILE or params reset"));
}
