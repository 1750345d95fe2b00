#include "FocusMoves.h"

#include <QApplication>
#include <QFocusEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

namespace kiro {

namespace {

// The application tells who had the focus only after the FocusIn event: this keeps the widget
// that had it before the change that is being delivered.
class FocusHistory : public QObject {
public:
    static FocusHistory*& instance() {
        static FocusHistory* history = nullptr;
        return history;
    }

    // Started with the application, so that it has seen every change of the focus.
    static void start() {
        if (instance() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        instance() = new FocusHistory;
        instance()->setParent(qApp);
    }

    QWidget* current() const { return current_; }

private:
    FocusHistory() {
        current_ = QApplication::focusWidget();
        connect(this, &QObject::destroyed, [] { instance() = nullptr; });
        connect(qApp, &QApplication::focusChanged, this,
                [this](QWidget*, QWidget* now) { current_ = now; });
    }

    QPointer<QWidget> current_;
};

// A control the user can move the focus to, as opposed to a window's frame, the client area or a
// top-level window that passes the focus on to one of its controls.
bool isControl(const QWidget* widget) {
    return widget && !widget->isWindow() && !qobject_cast<const QMdiSubWindow*>(widget) &&
           !qobject_cast<const QMdiArea*>(widget) && widget->focusPolicy() != Qt::NoFocus;
}

bool isUserReason(Qt::FocusReason reason) {
    return reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}

void startFocusHistory() {
    FocusHistory::start();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startFocusHistory)

bool IsUserFocusMove(const QFocusEvent& event) {
    FocusHistory::start();
    const Qt::FocusReason reason = event.reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
        reason == Qt::MenuBarFocusReason)
        return false;
    if (event.type() == QEvent::FocusOut)
        return isControl(QApplication::focusWidget()); // already the one that takes it
    const QWidget* before = FocusHistory::instance()->current();
    if (before == QApplication::focusWidget())
        return false; // the history has not heard of any change yet: nothing to judge by
    if (!before)
        return isUserReason(reason);
    return isControl(before);
}

} // namespace kiro
