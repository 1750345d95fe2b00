#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTest>
#include <QWindow>

namespace kiro::test {

// Real mouse input on the frame that hosts a tool window in the client area: the title bar and
// its close button, where the frame's style draws them.

inline QStyleOptionTitleBar titleBarOf(QMdiSubWindow* frame) {
    QStyleOptionTitleBar option;
    option.initFrom(frame);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = frame->windowFlags();
    option.titleBarState = int(frame->windowState());
    option.text = frame->windowTitle();
    if (frame->mdiArea() && frame->mdiArea()->activeSubWindow() == frame)
        option.state |= QStyle::State_Active;
    QStyle* style = frame->style();
    const int border = frame->isMaximized() || frame->isShaded()
                           ? 0
                           : style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, frame);
    const int height = style->pixelMetric(QStyle::PM_TitleBarHeight, &option, frame);
    option.rect = QRect(border, border, frame->width() - 2 * border, height);
    return option;
}

inline QPoint closeButtonOf(QMdiSubWindow* frame) {
    const QStyleOptionTitleBar option = titleBarOf(frame);
    return frame->style()
        ->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton, frame)
        .center();
}

// A point on the caption, clear of the buttons.
inline QPoint captionOf(QMdiSubWindow* frame) {
    const QStyleOptionTitleBar option = titleBarOf(frame);
    const QRect label = frame->style()->subControlRect(QStyle::CC_TitleBar, &option,
                                                       QStyle::SC_TitleBarLabel, frame);
    return QPoint(label.left() + label.width() / 3, label.center().y());
}

// A hand's click there: the mouse moves onto the spot, is pressed and released. The events go
// through the window system's entry point, as the platform delivers them, so that the frame
// learns what the mouse hovers and the application moves the focus on the press as it does on a
// real click.
inline void clickFrameAt(QMdiSubWindow* frame, QPoint at) {
    QWindow* window = frame->window()->windowHandle();
    const QPoint there = window->mapFromGlobal(frame->mapToGlobal(at));
    // A hand never jumps: the mouse arrives over a few pixels, and the frame takes the part it
    // hovers from the moves (after a drag of the caption, the first move only ends the drag).
    QTest::mouseMove(window, there - QPoint(2, 0));
    QTest::mouseMove(window, there);
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, there);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, there);
}

inline void clickCloseButton(QMdiSubWindow* frame) {
    clickFrameAt(frame, closeButtonOf(frame));
}

inline void clickTitleBar(QMdiSubWindow* frame) {
    clickFrameAt(frame, captionOf(frame));
}

} // namespace kiro::test
