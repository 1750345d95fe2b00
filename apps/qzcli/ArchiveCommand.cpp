#include "BenchSession.h"
#include "Commands.h"

int runArchive(BenchSession&, const QStringList&) {
    return BenchSession::usage(QStringLiteral("the archive command is not available yet"));
}
