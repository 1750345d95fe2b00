#include "CurrentLoopWindowInstall.h"

#include "CurrentLoopWindow.h"
#include "shell/MainWindow.h"

namespace kiro {

void installCurrentLoopWindow(MainWindow& window) {
    window.setToolWindowFactory(ToolWindow::CurrentLoop, [](ShellState& state) -> QWidget* {
        return new CurrentLoopWindow(state);
    });
}

} // namespace kiro
