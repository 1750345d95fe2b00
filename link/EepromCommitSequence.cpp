#include "EepromCommitSequence.h"

#include "DriveLink.h"
#include "RegisterMap.h"
#include "RetriedTransaction.h"

namespace kiro {

bool EepromCommitSequence::run(DriveLink& link) {
    const bool answered = RetriedTransaction(link, kAttempts, [&link] {
        link.SendRequest(1, 6, reg::EepromCommit, 1);
        link.WaitMs(link.ReplyWaitMs());
        link.WaitMs(kExtraWaitMs);
        link.ReceiveReply(1, 6);
    });
    if (!answered)
        return false;
    link.WaitMs(link.ReplyWaitMs());
    return true;
}

} // namespace kiro
