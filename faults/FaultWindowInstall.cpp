#include "FaultWindowInstall.h"

#include "FaultWindow.h"
#include "FaultsVariant.h"
#include "shell/MainWindow.h"
#include "shell/ShellState.h"

namespace kiro {

void installFaultWindow(MainWindow& window) {
    window.setToolWindowFactory(ToolWindow::Faults, [](ShellState& state) -> QWidget* {
        return new FaultWindow(state, FaultsVariant::of(state.variant()));
    });
}

} // namespace kiro
