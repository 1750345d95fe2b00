#include "EepromCommit.h"

#include "ShellState.h"
#include "Variant.h"
#include "link/DriveLink.h"
#include "link/RegisterMap.h"

namespace kiro {

namespace {
const QString kCommitDone = QStringLiteral("写入EEprom动作完成!");
const QString kCommitDoneTitle = QStringLiteral("提示！");
const QString kCommitFailed = QStringLiteral("通讯故障！");
} // namespace

void EepromCommit::run(ShellState& state) {
    DriveLink& link = state.link();
    if (link.busy())
        return;
    if (!state.portOpen()) {
        state.tell(texts::kPortNotConfigured, texts::kLinkFailureTitle);
        return;
    }
    DriveLink::Session session(link);
    for (int attempt = 1;; ++attempt) {
        link.SendRequest(1, 6, reg::EepromCommit, 1);
        link.WaitMs(link.ReplyWaitMs());
        link.WaitMs(kExtraWaitMs);
        link.ReceiveReply(1, 6);
        if (link.ReplyError() == 0)
            break;
        // A port that has gone away has already been reported; asking it eleven more times
        // would only stack up the same message.
        if (attempt >= kAttempts || link.portFaulted()) {
            state.tell(kCommitFailed, kCommitFailed);
            return;
        }
    }
    link.WaitMs(link.ReplyWaitMs());
    state.tell(kCommitDone, kCommitDoneTitle);
}

} // namespace kiro
