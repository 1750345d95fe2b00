// qzcli: the tuners' bench jobs from a script, with exactly the timing, retries and checks of the
// tuners' windows.

#include "BenchSession.h"
#include "Commands.h"
#include "StandardOutput.h"
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

constexpr int kMostReplyMarginMs = 1000;

// The program's own options, wherever they stand, go to the parser; every other word belongs to
// the command, in its order (step --kp, faults --clear, ...).
struct SplitArguments {
    QStringList global{QString()}; // the program name first, as the parser expects
    QStringList command;
};

SplitArguments split(const QStringList& arguments) {
    static const QStringList withValue{"--variant", "--port", "--reply-margin"};
    static const QStringList flags{"--trace", "--help", "-h", "-?", "--version", "-v"};
    SplitArguments split;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        const QString name = word.section(QLatin1Char('='), 0, 0);
        if (withValue.contains(name)) {
            split.global << word;
            if (!word.contains(QLatin1Char('=')) && i + 1 < arguments.size())
                split.global << arguments[++i];
        } else if (flags.contains(word)) {
            split.global << word;
        } else {
            split.command << word;
        }
    }
    return split;
}

int run(const QStringList& arguments) {
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
    const QCommandLineOption marginOption(QStringLiteral("reply-margin"),
                                          QStringLiteral("Extra milliseconds on every reply wait."),
                                          QStringLiteral("MS"));
    parser.addOptions({variantOption, portOption, traceOption, marginOption});

    const SplitArguments words = split(arguments);
    if (!parser.parse(words.global))
        return BenchSession::usage(parser.errorText());
    if (parser.isSet(help))
        return BenchSession::usage(), kExitDone;
    if (parser.isSet(version))
        return standard_output::write(QByteArray("qzcli " KIROTUNE_VERSION "\n")), kExitDone;

    QStringList command = words.command;
    if (command.isEmpty())
        return BenchSession::usage(QStringLiteral("which command?"));
    const QString name = command.takeFirst();
    const CommandEntry* entry = nullptr;
    for (const CommandEntry& candidate : kCommands)
        if (name == QLatin1String(candidate.name))
            entry = &candidate;
    if (!entry) {
        QString complaint = QStringLiteral("unknown command '%1'").arg(name);
        if (arguments.indexOf(QStringLiteral("--trace")) + 1 == arguments.indexOf(name))
            complaint += QStringLiteral(" (--trace takes no file: the trace goes to standard "
                                        "error, 2> FILE keeps it)");
        return BenchSession::usage(complaint);
    }

    if (!parser.isSet(variantOption) || !parser.isSet(portOption))
        return BenchSession::usage(QStringLiteral("--variant and --port are required"));
    const QString variantName = parser.value(variantOption);
    const kiro::LinkVariant* variant = kiro::LinkVariant::byName(variantName);
    if (!variant)
        return BenchSession::usage(
            QStringLiteral("unknown variant '%1' (x7 or qz318)").arg(variantName));
    int marginMs = 0;
    if (parser.isSet(marginOption)) {
        const std::optional<int> margin =
            parseNumber(parser.value(marginOption), 0, kMostReplyMarginMs);
        if (!margin)
            return BenchSession::usage(
                QStringLiteral("--reply-margin takes milliseconds from 0 to %1")
                    .arg(kMostReplyMarginMs));
        marginMs = *margin;
    }

    BenchSession session(*variant, parser.value(portOption), parser.isSet(traceOption), marginMs);
    return entry->run(session, command);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qzcli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KIROTUNE_VERSION));
    return standard_output::close(run(app.arguments()));
}
