#include "ParamsTransactions.h"

#include "link/DriveLink.h"
#include "link/RetriedTransaction.h"

namespace kiro {

namespace {
constexpr quint8 kStation = 1;
constexpr quint8 kRead = 3;
constexpr quint8 kWrite = 6;
} // namespace

bool ParamsTransactions::transact(quint8 function, quint16 address, float value, int attempts) {
    return RetriedTransaction(link_, attempts, [&] {
        link_.SendRequest(kStation, function, address, value);
        link_.WaitMs(link_.ReplyWaitMs());
        link_.ReceiveReply(kStation, function);
    });
}

std::optional<quint16> ParamsTransactions::read(quint16 address) {
    if (!transact(kRead, address, 1, kAttempts) || link_.ReadValues().isEmpty())
        return std::nullopt;
    // The link decodes words as signed numbers; the window wants the register's raw content.
    const auto value = quint16(qint16(link_.ReadValues().first()));
    settleWait();
    return value;
}

bool ParamsTransactions::write(quint16 address, float value, int attempts, Settle settle) {
    if (!transact(kWrite, address, value, attempts))
        return false;
    if (settle == Settle::Wait)
        settleWait();
    return true;
}

void ParamsTransactions::settleWait() {
    link_.WaitMs(link_.ReplyWaitMs());
}

} // namespace kiro
