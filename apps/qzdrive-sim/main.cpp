// qzdrive-sim: a simulated QZ318 or QZ318-X7 drive on a pseudo-terminal, reachable from the
// tuners as a COM port.

#include "link/LinkVariant.h"
#include "sim/DriveModel.h"
#include "sim/PtyDriveServer.h"

#include <QCoreApplication>
#include <QMap>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringList>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

using kiro::sim::Misbehaviour;

namespace {

constexpr int kBadArguments = 2;
constexpr int kDefaultLatenessMs = 100;

const char* const kUsage =
    "usage: qzdrive-sim --variant x7|qz318 --port COMn\n"
    "                   [--fault silent|late|pieces|crc|station|stray|short|exception]\n"
    "                   [--delay MS] [--faults W0,W1,...] [--stuck REG=VALUE ...]\n"
    "                   [--motor R,L,VBUS] [--gain-scale K]\n"
    "       qzdrive-sim --help | --version\n"
    "\n"
    "Serves a simulated drive on a pseudo-terminal and links COMn to it in the port map.\n"
    "  --variant  x7 = QZ318-X7 (two-byte byte count), qz318 = QZ318\n"
    "  --port     the COM name the tuners open\n"
    "  --fault    make every reply misbehave in the given way\n"
    "  --delay    reply delay in ms (default 2); with --fault late or pieces: how late\n"
    "             the (rest of the) reply comes (default 100)\n"
    "  --faults   the fault words of columns 0 to 9 (decimal or 0x..), the rest 0;\n"
    "             e.g. 0x09 for overcurrent and phase loss now\n"
    "  --stuck    register REG acknowledges every write but keeps holding VALUE\n"
    "             (decimal or 0x..); may be given for several registers\n"
    "  --motor    the winding and supply behind the current loop: resistance in ohm,\n"
    "             inductance in henry, bus voltage in volt (default 1.2,0.0036,48)\n"
    "  --gain-scale  multiplies the scaling of both current-loop gains (default 1: Kp\n"
    "             1 = 4 mV/A, Ki 1 = 4 V/(A s)), as a firmware that scales them otherwise\n"
    "Stops on Ctrl+C or SIGTERM and removes the COM link.\n";

struct Options {
    kiro::ReplyLayout layout = kiro::ReplyLayout::WideByteCount;
    QString portName;
    Misbehaviour fault = Misbehaviour::None;
    int delayMs = -1; // not given
    std::optional<QVector<quint16>> faultWords;
    QList<QPair<quint16, quint16>> stuck; // register, the value it keeps
    std::optional<kiro::sim::Motor> motor;
    double gainScale = 1;
};

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

// A register address or content: 0 to 65535, decimal or hexadecimal with 0x.
std::optional<quint16> parseWord(const QString& text) {
    bool ok = false;
    const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                           ? text.mid(2).toUInt(&ok, 16)
                           : text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF)
        return std::nullopt;
    return quint16(value);
}

// REG=VALUE.
std::optional<QPair<quint16, quint16>> parseStuck(const QString& text) {
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    const auto address = parseWord(text.left(equals));
    const auto value = parseWord(text.mid(equals + 1));
    if (!address || !value)
        return std::nullopt;
    return QPair<quint16, quint16>(*address, *value);
}

// R,L,VBUS: three positive finite numbers.
std::optional<kiro::sim::Motor> parseMotor(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return std::nullopt;
    double values[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(values[i]) || values[i] <= 0)
            return std::nullopt;
    }
    return kiro::sim::Motor{values[0], values[1], values[2]};
}

bool parse(const QStringList& args, Options& options, QString& problem) {
    static const QMap<QString, Misbehaviour> faults{
        {QStringLiteral("silent"), Misbehaviour::Silent},
        {QStringLiteral("late"), Misbehaviour::Late},
        {QStringLiteral("pieces"), Misbehaviour::InPieces},
        {QStringLiteral("crc"), Misbehaviour::CorruptCrc},
        {QStringLiteral("station"), Misbehaviour::OtherStation},
        {QStringLiteral("stray"), Misbehaviour::StrayBytes},
        {QStringLiteral("short"), Misbehaviour::ShortReply},
        {QStringLiteral("exception"), Misbehaviour::ExceptionReply},
    };
    static const QRegularExpression comName(QStringLiteral("^COM[1-9][0-9]{0,2}$"));
    bool variantGiven = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString& option = args[i];
        static const QStringList known{QStringLiteral("--variant"), QStringLiteral("--port"),
                                       QStringLiteral("--fault"),   QStringLiteral("--delay"),
                                       QStringLiteral("--faults"),  QStringLiteral("--stuck"),
                                       QStringLiteral("--motor"),   QStringLiteral("--gain-scale")};
        if (!known.contains(option)) {
            problem = QStringLiteral("unknown option %1").arg(option);
            return false;
        }
        if (i + 1 >= args.size()) {
            problem = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        const QString value = args[++i];
        if (option == QLatin1String("--variant")) {
            const kiro::LinkVariant* variant = kiro::LinkVariant::byName(value);
            if (!variant) {
                problem = QStringLiteral("unknown variant %1 (x7 or qz318)").arg(value);
                return false;
            }
            options.layout = variant->layout;
            variantGiven = true;
        } else if (option == QLatin1String("--port")) {
            if (!comName.match(value).hasMatch()) {
                problem = QStringLiteral("port must be a COM name such as COM1, not %1").arg(value);
                return false;
            }
            options.portName = value;
        } else if (option == QLatin1String("--fault")) {
            if (!faults.contains(value)) {
                problem = QStringLiteral("unknown fault %1").arg(value);
                return false;
            }
            options.fault = faults.value(value);
        } else if (option == QLatin1String("--faults")) {
            options.faultWords = kiro::sim::FaultRecord::parse(value);
            if (!options.faultWords) {
                problem =
                    QStringLiteral("--faults takes up to ten words 0 to 0xFFFF, not %1").arg(value);
                return false;
            }
        } else if (option == QLatin1String("--stuck")) {
            const auto stuck = parseStuck(value);
            if (!stuck) {
                problem =
                    QStringLiteral("--stuck takes REG=VALUE, both 0 to 65535, not %1").arg(value);
                return false;
            }
            options.stuck.append(*stuck);
        } else if (option == QLatin1String("--motor")) {
            options.motor = parseMotor(value);
            if (!options.motor) {
                problem = QStringLiteral("--motor takes R,L,VBUS in ohm, henry and volt, all "
                                         "above 0, not %1")
                              .arg(value);
                return false;
            }
        } else if (option == QLatin1String("--gain-scale")) {
            bool ok = false;
            options.gainScale = value.toDouble(&ok);
            if (!ok || !std::isfinite(options.gainScale) || options.gainScale <= 0) {
                problem = QStringLiteral("--gain-scale takes a number above 0, not %1").arg(value);
                return false;
            }
        } else {
            bool ok = false;
            options.delayMs = value.toInt(&ok);
            if (!ok || options.delayMs < 0 || options.delayMs > 60000) {
                problem = QStringLiteral("delay must be 0 to 60000 ms, not %1").arg(value);
                return false;
            }
        }
    }
    if (!variantGiven)
        problem = QStringLiteral("--variant is missing");
    else if (options.portName.isEmpty())
        problem = QStringLiteral("--port is missing");
    return problem.isEmpty();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.contains(QLatin1String("--version"))) {
        std::printf("qzdrive-sim %s\n", KIROTUNE_VERSION);
        return 0;
    }
    Options options;
    QString problem;
    if (!parse(args, options, problem)) {
        std::fprintf(stderr, "qzdrive-sim: %s\n\n%s", problem.toLocal8Bit().constData(), kUsage);
        return kBadArguments;
    }

    kiro::sim::DriveModel drive(options.layout);
    if (options.faultWords)
        drive.faults().setWords(*options.faultWords);
    for (const auto& [address, value] : options.stuck)
        drive.setStuck(address, value);
    if (options.motor)
        drive.currentLoop().setMotor(*options.motor);
    drive.currentLoop().setGainScale(options.gainScale);
    const bool delaysReply =
        options.fault == Misbehaviour::Late || options.fault == Misbehaviour::InPieces;
    if (options.delayMs >= 0 && !delaysReply)
        drive.setReplyDelayMs(options.delayMs);
    if (options.fault != Misbehaviour::None)
        drive.injectFault(
            {options.fault, options.delayMs >= 0 ? options.delayMs : kDefaultLatenessMs, -1});

    // Signals only poke a pipe; the event loop does the shutdown, so the COM link is withdrawn.
    if (::pipe(signalPipe) != 0) {
        std::perror("qzdrive-sim: pipe");
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // A reader of the log that goes away must not end the drive before it unlinks its port.
    std::signal(SIGPIPE, SIG_IGN);

    kiro::sim::PtyDriveServer server(drive);
    QString error;
    if (!server.start(&error) || !server.publish(options.portName, &error)) {
        std::fprintf(stderr, "qzdrive-sim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const char* model = options.layout == kiro::ReplyLayout::WideByteCount ? "QZ318-X7" : "QZ318";
    std::printf("%s simulated drive on %s -> %s\n", model,
                options.portName.toLocal8Bit().constData(),
                server.slavePath().toLocal8Bit().constData());
    std::fflush(stdout);

    const int status = app.exec();
    server.stop();
    std::printf("stopped; %s unlinked\n", options.portName.toLocal8Bit().constData());
    return status;
}
