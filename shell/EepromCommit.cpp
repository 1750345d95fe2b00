#include "EepromCommit.h"

#include "ShellState.h"
#include "Variant.h"
#include "link/DriveWorkQueue.h"
#include "link/EepromCommitSequence.h"

namespace kiro {

namespace {
const QString kCommitDone = QStringLiteral("写入EEprom动作完成!");
const QString kCommitDoneTitle = QStringLiteral("提示！");
const QString kCommitFailed = QStringLiteral("通讯故障！");
} // namespace

void EepromCommit::run(ShellState& state, DriveWork& work) {
    if (state.linkBusy())
        return;
    if (!state.portOpen()) {
        state.tell(texts::kPortNotConfigured, texts::kLinkFailureTitle);
        return;
    }
    work.submitUnlessBusy({}, [&state] {
        if (!EepromCommitSequence::run(state.link())) {
            state.tell(kCommitFailed, kCommitFailed);
            return;
        }
        state.tell(kCommitDone, kCommitDoneTitle);
    });
}

} // namespace kiro
