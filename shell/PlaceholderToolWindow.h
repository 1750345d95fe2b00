#pragma once

#include "ToolWindows.h"

#include <QWidget>

namespace kiro {

class ShellState;

// Stands in for a tool window that is not built yet. It carries the window's name and sets and
// clears the shared flags at the same moments as the real window will (on opening and on
// closing), so that the main window's exclusivity rules work as they will with the real one.
class PlaceholderToolWindow : public QWidget {
    Q_OBJECT
public:
    PlaceholderToolWindow(ShellState& state, ToolWindow window, QWidget* parent = nullptr);
    ~PlaceholderToolWindow() override;

private:
    ShellState& state_;
    const ToolWindowRole& role_;
};

} // namespace kiro
