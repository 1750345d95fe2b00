#pragma once

namespace kiro {

class MainWindow;

// Registers the window with the main window's tool-window command.
void installParameterWindow(MainWindow& window);

} // namespace kiro
