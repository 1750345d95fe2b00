#include "ParameterWindowInstall.h"

#include "shell/MainWindow.h"

namespace kiro {

void installParameterWindow(MainWindow&) {
    // The main window's placeholder stands in until the window is built.
}

} // namespace kiro
