#include "EepromCommitSequence.h"

#include "AttemptLimits.h"
#include "DriveLink.h"
#include "ModbusCodes.h"
#include "RegisterMap.h"
#include "RetriedTransaction.h"

namespace kiro {

bool EepromCommitSequence::run(DriveLink& link) {
    const bool answered = RetriedTransaction(link, attempts::kToolWindow, [&link] {
        link.SendRequest(modbus::kDriveStation, modbus::kWriteSingle, reg::EepromCommit, 1);
        link.WaitMs(link.ReplyWaitMs());
        link.WaitMs(kExtraWaitMs);
        link.ReceiveReply(modbus::kDriveStation, modbus::kWriteSingle);
    });
    if (!answered)
        return false;
    link.WaitMs(link.ReplyWaitMs());
    return true;
}

} // namespace kiro
