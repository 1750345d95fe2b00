#include "FaultWindowInstall.h"

#include "shell/MainWindow.h"

namespace kiro {

void installFaultWindow(MainWindow&) {
    // The main window's placeholder stands in until the window is built.
}

} // namespace kiro
