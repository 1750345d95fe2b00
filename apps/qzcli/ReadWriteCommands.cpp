#include "BenchSession.h"
#include "Commands.h"

#include "StandardOutput.h"

#include "link/ModbusCodes.h"

using kiro::modbus::kDriveStation;

int runRead(BenchSession& session, const QStringList& args) {
    if (args.isEmpty() || args.size() > 2)
        return BenchSession::usage(QStringLiteral("wrong number of arguments for read"));
    const auto address = parseNumber(args[0], 0, 65535);
    if (!address)
        return BenchSession::usage(
            QStringLiteral("address '%1' is not a number from 0 to 65535").arg(args[0]));
    int count = 1;
    if (args.size() == 2) {
        const auto number = parseNumber(args[1], 1, 65535 - *address + 1);
        if (!number)
            return BenchSession::usage(
                QStringLiteral("count '%1' does not fit the register range").arg(args[1]));
        count = *number;
    }

    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    link->ReadRegisters(kDriveStation, float(*address), float(count));
    if (link->ReplyError() != 0)
        return kExitDriveFailed;
    QString lines;
    for (int j = 0; j < link->ReadValues().size(); ++j) {
        const quint16 word = link->ReadWord(j);
        lines += QStringLiteral("%1 %2 %3\n").arg(*address + j).arg(word).arg(qint16(word));
    }
    standard_output::write(lines);
    return kExitDone;
}

int runWrite(BenchSession& session, const QStringList& args) {
    if (args.size() != 2)
        return BenchSession::usage(QStringLiteral("wrong number of arguments for write"));
    const auto address = parseNumber(args[0], 0, 65535);
    if (!address)
        return BenchSession::usage(
            QStringLiteral("address '%1' is not a number from 0 to 65535").arg(args[0]));
    const auto value = parseNumber(args[1], 0, 65535);
    if (!value)
        return BenchSession::usage(
            QStringLiteral("value '%1' is not a number from 0 to 65535").arg(args[1]));

    kiro::DriveLink* link = session.openLink();
    if (!link)
        return kExitPort;
    link->WriteRegister(kDriveStation, float(*address), float(*value));
    if (link->ReplyError() != 0)
        return kExitDriveFailed;
    standard_output::write(QStringLiteral("%1 := %2\n").arg(*address).arg(*value));
    return kExitDone;
}
