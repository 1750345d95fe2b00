#include "ExitCodes.h"

#include <QStringList>

namespace {

struct ExitCodeMeaning {
    const char* code;
    const char* meaning;
};

constexpr ExitCodeMeaning kMeanings[] = {
    {"0", "done"},
    {"1", "the drive did not answer correctly"},
    {"2", "wrong arguments, or a file or output that cannot be read or written"},
    {"3", "the port cannot be opened: missing, busy, or no permission"},
    {"4", "verify or --verify: the drive holds something other than the file"},
    {"5", "tune: no pair of gains met the limits; the drive keeps the gains it had"},
    {"128+N", "ended by signal N (130 Ctrl+C, 129 SIGHUP, 141 closed pipe, 143 SIGTERM);\n"
              "        a step, sweep or tune has first taken the drive out of the test mode"},
};

} // namespace

QString exitCodeHelp() {
    QStringList lines{QStringLiteral("Exit codes:")};
    for (const ExitCodeMeaning& entry : kMeanings)
        lines << QStringLiteral("  %1 %2")
                     .arg(QLatin1String(entry.code), -5)
                     .arg(QLatin1String(entry.meaning));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
