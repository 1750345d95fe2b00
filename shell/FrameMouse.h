#pragma once

#include <QObject>

namespace kiro {

// A frame of the client area learns which part of its title bar the mouse is over from the mouse
// moves; but a move that arrives while the frame still takes the mouse to be over its caption only
// ends that state, and the hover stays where it was. A mouse that jumps from the caption onto the
// close button in a single move (a quick hand, a remote desktop, an automation tool) would then
// press the caption, and the first click on the close button would do nothing. Delivering each
// plain move twice lets the frame always know what is under the mouse.
class FrameMouse : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool repeating_ = false;
};

} // namespace kiro
