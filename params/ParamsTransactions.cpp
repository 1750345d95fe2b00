#include "ParamsTransactions.h"

#include "link/AttemptLimits.h"
#include "link/DriveLink.h"
#include "link/ModbusCodes.h"
#include "link/RetriedTransaction.h"

namespace kiro {

bool ParamsTransactions::transact(quint8 function, quint16 address, float value, int attempts) {
    return RetriedTransaction(link_, attempts, [&] {
        link_.SendRequest(modbus::kDriveStation, function, address, value);
        link_.WaitMs(link_.ReplyWaitMs());
        link_.ReceiveReply(modbus::kDriveStation, function);
    });
}

std::optional<quint16> ParamsTransactions::read(quint16 address) {
    if (!transact(modbus::kReadHolding, address, 1, attempts::kToolWindow) ||
        link_.ReadValues().isEmpty())
        return std::nullopt;
    const quint16 value = link_.ReadWord();
    settleWait();
    return value;
}

bool ParamsTransactions::write(quint16 address, float value, int attempts, Settle settle) {
    if (!transact(modbus::kWriteSingle, address, value, attempts))
        return false;
    if (settle == Settle::Wait)
        settleWait();
    return true;
}

void ParamsTransactions::settleWait() {
    link_.WaitMs(link_.ReplyWaitMs());
}

} // namespace kiro
