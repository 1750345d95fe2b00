#include "CurrentLoopValues.h"

#include "shell/ShellState.h"

namespace kiro {

CurrentLoopValues& CurrentLoopValues::of(ShellState& state) {
    static const QString name = QStringLiteral("CurrentLoopValues");
    if (auto* values = state.findChild<CurrentLoopValues*>(name, Qt::FindDirectChildrenOnly))
        return *values;
    auto* values = new CurrentLoopValues(&state);
    values->setObjectName(name);
    return *values;
}

} // namespace kiro
