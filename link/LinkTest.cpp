#include "LinkTest.h"

#include "DriveLink.h"
#include "ModbusCodes.h"
#include "SerialPort.h"

namespace kiro {

LinkTest::Outcome LinkTest::run(DriveLink& link) {
    SerialPort& port = link.port();
    port.setPortNumber(link.PortNumber());
    port.setSettings(link.PortSettings());
    port.setBinaryInput(true);
    link.setBaudKilo(qint16(baudKiloOf(link.PortSettings())));
    if (!port.open())
        return Outcome::PortFailed;

    // No wait before the reply: ReceiveReply polls until the reply is there or it gives up.
    link.SendRequest(modbus::kDriveStation, modbus::kReadHolding, 0, 1);
    link.ReceiveReply(modbus::kDriveStation, modbus::kReadHolding);
    if (link.ReplyError() > kMaxAcceptedReplyError || link.portFaulted()) {
        // Whatever went wrong, a port the user cannot see as open must not stay open.
        port.close();
        return Outcome::PortFailed;
    }
    return Outcome::Open;
}

int LinkTest::baudKiloOf(const QString& settings) {
    int number = 0;
    for (const QChar c : settings) {
        if (!c.isDigit() || number > 1000000)
            break;
        number = number * 10 + c.digitValue();
    }
    return number / 1000;
}

} // namespace kiro
