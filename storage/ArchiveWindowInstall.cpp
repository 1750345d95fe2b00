#include "StorageWindowInstall.h"

#include "shell/MainWindow.h"

namespace kiro {

void installStorageWindow(MainWindow&) {
    // The main window's placeholder stands in until the window is built.
}

} // namespace kiro
