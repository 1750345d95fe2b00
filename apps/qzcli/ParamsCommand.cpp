#include "BenchSession.h"
#include "Commands.h"

int runParams(BenchSession&, const QStringList&) {
    return BenchSession::usage(QStringLiteral("the params command is not available yet"));
}
