#pragma once

namespace kiro {

class MainWindow;

// Registers the tuner's own parameter-storage window with the main window: the archive window in
// qztune-x7, the parameter table window in QZ318. Each tuner links the library of its own window.
void installStorageWindow(MainWindow& window);

} // namespace kiro
