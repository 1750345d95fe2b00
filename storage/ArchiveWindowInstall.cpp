#include "StorageWindowInstall.h"

#include "ArchiveWindow.h"
#include "shell/MainWindow.h"

namespace kiro {

void installStorageWindow(MainWindow& window) {
    window.setToolWindowFactory(ToolWindow::Archive,
                                [](ShellState& state) { return new ArchiveWindow(state); });
}

} // namespace kiro
