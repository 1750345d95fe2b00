// qzcli: one read or write of the drive's registers from a script, with exactly the timing,
// retries and checks of the tuners.

#include "ConsolePrompter.h"

#include "link/DriveLink.h"
#include "link/EventPumpClock.h"
#include "link/QtSerialPort.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <variant>

namespace {

constexpr int kExitDriveFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPort = 3;
constexpr quint8 kStation = 1;

const char* const kUsage = "usage: qzcli --variant x7|qz318 --port COMn read ADDR [COUNT]\n"
                           "       qzcli --variant x7|qz318 --port COMn write ADDR VALUE\n"
                           "\n"
                           "Reads COUNT registers (default 1) from ADDR, or writes VALUE "
                           "(0..65535) to ADDR, at station 1,\n"
                           "38400 baud. Numbers are decimal, or hexadecimal with 0x. A read prints "
                           "one line per register:\n"
                           "address, unsigned value, signed value.\n";

int usage(const QString& complaint = {}) {
    if (!complaint.isEmpty())
        std::fprintf(stderr, "qzcli: %s\n", qPrintable(complaint));
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

std::optional<int> parseNumber(const QString& text, int lowest, int highest) {
    bool ok = false;
    const int value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? text.mid(2).toInt(&ok, 16)
                          : text.toInt(&ok, 10);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

struct Command {
    const kiro::LinkVariant* variant = nullptr;
    QString port;
    bool write = false;
    int address = 0;
    int countOrValue = 1;
};

// Returns the command, or the complaint about the arguments.
std::variant<Command, QString> parseArguments(QStringList args) {
    Command command;
    args.removeFirst();
    while (args.size() >= 2 && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        const QString value = args.takeFirst();
        if (option == QLatin1String("--variant")) {
            command.variant = kiro::LinkVariant::byName(value);
            if (!command.variant)
                return QStringLiteral("unknown variant '%1' (x7 or qz318)").arg(value);
        } else if (option == QLatin1String("--port")) {
            command.port = value;
        } else {
            return QStringLiteral("unknown option '%1'").arg(option);
        }
    }
    if (!command.variant || command.port.isEmpty())
        return QStringLiteral("--variant and --port are required");
    if (args.isEmpty())
        return QStringLiteral("read or write?");
    const QString verb = args.takeFirst();
    command.write = verb == QLatin1String("write");
    if (!command.write && verb != QLatin1String("read"))
        return QStringLiteral("unknown command '%1'").arg(verb);
    if (args.isEmpty() || args.size() > 2 || (command.write && args.size() != 2))
        return QStringLiteral("wrong number of arguments for %1").arg(verb);
    const auto address = parseNumber(args[0], 0, 65535);
    if (!address)
        return QStringLiteral("address '%1' is not a number from 0 to 65535").arg(args[0]);
    command.address = *address;
    if (args.size() == 2) {
        const auto number = command.write ? parseNumber(args[1], 0, 65535)
                                          : parseNumber(args[1], 1, 65535 - command.address + 1);
        if (!number)
            return command.write
                       ? QStringLiteral("value '%1' is not a number from 0 to 65535").arg(args[1])
                       : QStringLiteral("count '%1' does not fit the register range").arg(args[1]);
        command.countOrValue = *number;
    }
    return command;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qzcli"));

    const auto parsed = parseArguments(app.arguments());
    if (const auto* complaint = std::get_if<QString>(&parsed))
        return usage(*complaint);
    const Command& command = std::get<Command>(parsed);

    kiro::QtSerialPort port;
    port.setPortName(command.port);
    port.setSettings(QStringLiteral("38400,n,8,1"));
    port.setBinaryInput(true);
    if (!port.open()) {
        std::fprintf(stderr, "qzcli: %s\n", qPrintable(port.errorString()));
        return kExitPort;
    }

    kiro::EventPumpClock clock;
    ConsolePrompter prompter;
    kiro::DriveLink link(port, clock, prompter, *command.variant);
    link.setBaudKilo(38);

    if (command.write)
        link.WriteRegister(kStation, float(command.address), float(command.countOrValue));
    else
        link.ReadRegisters(kStation, float(command.address), float(command.countOrValue));
    port.close();
    if (link.ReplyError() != 0)
        return kExitDriveFailed;

    if (command.write) {
        std::printf("%d := %d\n", command.address, command.countOrValue);
    } else {
        const QVector<float>& values = link.ReadValues();
        for (int j = 0; j < values.size(); ++j) {
            const int value = int(values[j]);
            std::printf("%d %d %d\n", command.address + j, value & 0xFFFF, value);
        }
    }
    return 0;
}
