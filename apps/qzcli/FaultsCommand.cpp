#include "BenchSession.h"
#include "Commands.h"

int runFaults(BenchSession&, const QStringList&) {
    return BenchSession::usage(QStringLiteral("the faults command is not available yet"));
}
