#include "CurrentLoopWindowInstall.h"

#include "shell/MainWindow.h"

namespace kiro {

void installCurrentLoopWindow(MainWindow&) {
    // The main window's placeholder stands in until the window is built.
}

} // namespace kiro
