#include "StorageWindowInstall.h"

#include "ParameterDatabase.h"
#include "ParameterFileDialogs.h"
#include "ParameterTableWindow.h"
#include "shell/MainWindow.h"

namespace kiro {

void installStorageWindow(MainWindow& window) {
    static QtParameterFileDialogs dialogs;
    window.setToolWindowFactory(ToolWindow::ParameterTable, [](ShellState& state) -> QWidget* {
        return new ParameterTableWindow(state, dialogs, ParameterDatabase::defaultPath());
    });
}

} // namespace kiro
