#include "PlaceholderToolWindow.h"

#include "ShellState.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kiro {

PlaceholderToolWindow::PlaceholderToolWindow(ShellState& state, ToolWindow window, QWidget* parent)
    : QWidget(parent), state_(state), role_(RoleOf(window)) {
    setObjectName(role_.name);
    setWindowTitle(role_.title);
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("此窗口尚在制作中。"), this);
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(note);
    setMinimumSize(320, 160);

    if (role_.setsToolWindowOpen)
        state_.ToolWindowOpen = true;
    if (role_.ownFlag != 0)
        state_.WindowOpenFlags(role_.ownFlag) = true;
}

PlaceholderToolWindow::~PlaceholderToolWindow() {
    if (role_.ownFlag != 0)
        state_.WindowOpenFlags(role_.ownFlag) = false;
    if (role_.setsToolWindowOpen)
        state_.ToolWindowOpen = false;
}

} // namespace kiro
