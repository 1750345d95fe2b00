#include "EepromCommitSequence.h"

#include "DriveLink.h"
#include "RegisterMap.h"

namespace kiro {

bool EepromCommitSequence::run(DriveLink& link) {
    for (int attempt = 1;; ++attempt) {
        link.SendRequest(1, 6, reg::EepromCommit, 1);
        link.WaitMs(link.ReplyWaitMs());
        link.WaitMs(kExtraWaitMs);
        link.ReceiveReply(1, 6);
        if (link.ReplyError() == 0)
            break;
        if (attempt >= kAttempts || link.portFaulted())
            return false;
    }
    link.WaitMs(link.ReplyWaitMs());
    return true;
}

} // namespace kiro
