// qzcli: the tuners' bench jobs from a script, with exactly the timing, retries and checks of the
// tuners' windows.

#include "BenchSession.h"
#include "Commands.h"
#include "TuneCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

struct CommandEntry {
    const char* name;
    int (*run)(BenchSession&, const QStringList&);
};

constexpr CommandEntry kCommands[] = {
    {"read", runRead},       {"write", runWrite},   {"step", runStep},     {"faults", runFaults},
    {"archive", runArchive}, {"params", runParams}, {"commit", runCommit}, {"tune", runTune},
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qzcli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIROTUNE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Bench jobs for QZ318 and QZ318-X7 drives."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption variantOption(QStringLiteral("variant"),
                                           QStringLiteral("The drive: x7 or qz318."),
                                           QStringLiteral("x7|qz318"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("The serial port, COM1 ..."),
                                        QStringLiteral("COMn"));
    const QCommandLineOption traceOption(QStringLiteral("trace"),
                                         QStringLiteral("Print every frame sent and received."));
    parser.addOptions({variantOption, portOption, traceOption});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."));
    // Options after the command (step --kp, faults --clear) belong to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);

    if (!parser.parse(app.arguments()))
        return BenchSession::usage(parser.errorText());
    if (parser.isSet(help))
        return BenchSession::usage(), kExitDone;
    if (parser.isSet(version)) {
        std::printf("qzcli %s\n", KIROTUNE_VERSION);
        return kExitDone;
    }

    const QString variantName = parser.value(variantOption);
    const kiro::LinkVariant* variant = kiro::LinkVariant::byName(variantName);
    if (!parser.isSet(variantOption) || !parser.isSet(portOption))
        return BenchSession::usage(QStringLiteral("--variant and --port are required"));
    if (!variant)
        return BenchSession::usage(
            QStringLiteral("unknown variant '%1' (x7 or qz318)").arg(variantName));

    QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return BenchSession::usage(QStringLiteral("which command?"));
    const QString name = words.takeFirst();
    for (const CommandEntry& command : kCommands) {
        if (name == QLatin1String(command.name)) {
            BenchSession session(*variant, parser.value(portOption), parser.isSet(traceOption));
            return command.run(session, words);
        }
    }
    return BenchSession::usage(QStringLiteral("unknown command '%1'").arg(name));
}
