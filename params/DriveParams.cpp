#include "DriveParams.h"

#include "shell/ShellState.h"

namespace kiro {

DriveParams& DriveParams::of(ShellState& state) {
    static const QString kName = QStringLiteral("DriveParams");
    if (auto* params = state.findChild<DriveParams*>(kName, Qt::FindDirectChildrenOnly))
        return *params;
    auto* params = new DriveParams(&state);
    params->setObjectName(kName);
    return *params;
}

} // namespace kiro
