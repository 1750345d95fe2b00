#include "BenchSession.h"
#include "Commands.h"

int runCommit(BenchSession&, const QStringList&) {
    return BenchSession::usage(QStringLiteral("the commit command is not available yet"));
}
