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
    if (!state.portOpen()) {
        state.tell(texts::kPortNotConfigured, texts::kLinkFailureTitle);
        return;
    }
    // Asked twice before it ran, the drive stores its parameters once.
    work.submit(QStringLiteral("EEPROM commit"), [&state, &work] {
        if (!EepromCommitSequence::run(state.link())) {
            work.giveUp();
            tellNotDone(state);
            return;
        }
        state.tell(kCommitDone, kCommitDoneTitle);
    });
}

void EepromCommit::tellNotDone(ShellState& state) {
    state.tell(kCommitFailed, kCommitFailed);
}

} // namespace kiro
