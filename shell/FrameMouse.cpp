#include "FrameMouse.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <memory>

namespace kiro {

bool FrameMouse::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove || repeating_)
        return false;
    if (static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton)
        return false; // a drag: the frame moves or resizes, and knows it
    repeating_ = true;
    const std::unique_ptr<QEvent> first(event->clone());
    QCoreApplication::sendEvent(watched, first.get());
    repeating_ = false;
    return false; // and the move itself follows
}

} // namespace kiro
