#include "BenchSession.h"
#include "Commands.h"

int runStep(BenchSession&, const QStringList&) {
    return BenchSession::usage(QStringLiteral("the step command is not available yet"));
}
