#include "FocusMoves.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>

namespace kiro {

namespace {

// A control the user can move the focus to, as opposed to a window's frame, the client area or a
// top-level window that passes the focus on to one of its controls.
bool isControl(const QWidget* widget) {
    return widget && !widget->isWindow() && !qobject_cast<const QMdiSubWindow*>(widget) &&
           !qobject_cast<const QMdiArea*>(widget) && widget->focusPolicy() != Qt::NoFocus;
}

// The means by which the user moves the focus. The window system activating a window, popups
// and menus, and the program's own focus changes (a frame giving the focus back to the control
// that had it when the window is activated again) come with other reasons.
bool isUserReason(Qt::FocusReason reason) {
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

} // namespace

bool IsUserFocusMove(const QFocusEvent& event) {
    if (!isUserReason(event.reason()))
        return false;
    // A click on a window's title bar or frame takes the focus with the mouse as well, but to the
    // frame, which gives it back to the control afterwards: only a control that takes the focus
    // makes the move. The application names it before the FocusOut is delivered.
    if (event.type() == QEvent::FocusOut)
        return isControl(QApplication::focusWidget());
    return true;
}

} // namespace kiro
