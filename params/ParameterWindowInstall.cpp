#include "ParameterWindowInstall.h"

#include "ParameterWindow.h"
#include "shell/MainWindow.h"

namespace kiro {

void installParameterWindow(MainWindow& window) {
    window.setToolWindowFactory(ToolWindow::Parameters, [](ShellState& state) -> QWidget* {
        auto* parameters = new ParameterWindow(state);
        // The window shows itself when the read-back has ended, whatever its outcome.
        parameters->load();
        return parameters;
    });
}

} // namespace kiro
