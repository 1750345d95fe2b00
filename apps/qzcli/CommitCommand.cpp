#include "BenchSession.h"
#include "Commands.h"
#include "StandardOutput.h"

#include "link/DriveLink.h"
#include "link/EepromCommitSequence.h"
#include "storage/ParameterTableSequences.h"

#include <cstdio>

int runCommit(BenchSession& session, const QStringList& args) {
    if (!args.isEmpty())
        return BenchSession::usage(QStringLiteral("commit takes no arguments"));
    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    kiro::DriveLink::Session busy(*link);
    // Each drive as its own tuner commits it: qztune-x7 from its menu, QZ318 from its parameter
    // table, with the longer waits that drive needs.
    const bool committed = session.variantName() == QLatin1String("qz318")
                               ? kiro::CommitToEeprom(*link)
                               : kiro::EepromCommitSequence::run(*link);
    if (!committed) {
        std::fprintf(stderr, "qzcli: the drive did not acknowledge the EEPROM commit\n");
        return kExitDriveFailed;
    }
    standard_output::write(QByteArray("12 := 1\n"));
    return kExitDone;
}
