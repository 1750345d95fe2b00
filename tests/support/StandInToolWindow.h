#pragma once

#include "shell/MainWindow.h"
#include "shell/ShellState.h"
#include "shell/ToolWindows.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace kiro::test {

// Stands in for a tool window in tests of the main window. It carries the window's name and sets
// and clears the shared flags at the same moments as the real window (on opening and on
// closing), so that the main window's exclusivity rules can be tried without a drive conversation.
class StandInToolWindow : public QWidget {
public:
    StandInToolWindow(ShellState& state, ToolWindow window, QWidget* parent = nullptr)
        : QWidget(parent), state_(state), role_(RoleOf(window)) {
        setObjectName(role_.name);
        setWindowTitle(role_.title);
        auto* layout = new QVBoxLayout(this);
        auto* note = new QLabel(QStringLiteral("stand-in"), this);
        note->setAlignment(Qt::AlignCenter);
        layout->addWidget(note);
        setMinimumSize(320, 160);
        if (role_.setsToolWindowOpen)
            state_.ToolWindowOpen = true;
        if (role_.ownFlag != 0)
            state_.WindowOpenFlags(role_.ownFlag) = true;
    }

    ~StandInToolWindow() override {
        if (role_.ownFlag != 0)
            state_.WindowOpenFlags(role_.ownFlag) = false;
        if (role_.setsToolWindowOpen)
            state_.ToolWindowOpen = false;
    }

private:
    ShellState& state_;
    const ToolWindowRole& role_;
};

// Every tool window of the main window as a stand-in; a test installs the real ones it tries.
inline void installStandInToolWindows(MainWindow& window) {
    for (ToolWindow tool : {ToolWindow::CurrentLoop, ToolWindow::Parameters, ToolWindow::Faults,
                            ToolWindow::ParameterTable, ToolWindow::Archive}) {
        window.setToolWindowFactory(
            tool, [tool](ShellState& state) { return new StandInToolWindow(state, tool); });
    }
}

} // namespace kiro::test
