#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTest>

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

// Moves the mouse there first, as a hand does: the frame acts on the part the mouse hovers. A
// move to where the mouse already is reaches no widget, and a new frame in the place of an
// earlier one would not know that it is hovered: the hand comes from a pixel away.
inline void clickFrameAt(QMdiSubWindow* frame, QPoint at) {
    QTest::mouseMove(frame, at + QPoint(0, 1));
    QTest::mouseMove(frame, at);
    QTest::mousePress(frame, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(frame, Qt::LeftButton, Qt::NoModifier, at);
}

inline void clickCloseButton(QMdiSubWindow* frame) {
    clickFrameAt(frame, closeButtonOf(frame));
}

inline void clickTitleBar(QMdiSubWindow* frame) {
    clickFrameAt(frame, captionOf(frame));
}

} // namespace kiro::test
