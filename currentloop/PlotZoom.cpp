#include "PlotZoom.h"

#include <algorithm>
#include <cmath>

namespace kiro {

namespace {
// Nearest integer, ties to even.
qint16 roundToEven(double value) {
    return qint16(std::nearbyint(value));
}
} // namespace

void PlotZoom::reset(float plotRange, int sampleCount) {
    sampleCount_ = sampleCount;
    zoomLevel_ = 0;
    views_[0] = {0, qint16(sampleCount - 1), plotRange, -2 * plotRange};
}

const PlotView& PlotZoom::viewAt(int level) const {
    return views_[std::size_t(std::clamp(level, 0, kLevels - 1))];
}

void PlotZoom::buttonDown(int button, QPointF at) {
    if (button == Left)
        dragStart_ = at;
    else if (button == Right)
        zoomLevel_ = 0;
}

void PlotZoom::mouseMove(int buttons, QPointF at) {
    if (buttons == NoButton) {
        dragging_ = false;
    } else if (buttons == Left) {
        dragging_ = true;
        dragEnd_ = at;
    }
}

void PlotZoom::buttonUp(int button, QPointF at) {
    if (button != Left)
        return;
    // The release point is brought into the view in use, so that a box dragged past the edge of
    // the plot ends at that edge.
    const PlotView& v = view();
    const double right = v.ViewLeft + v.ViewWidth;
    const double bottom = v.ViewTop + v.ViewHeight;
    double x = at.x();
    double y = at.y();
    x = x >= right ? right : x <= v.ViewLeft ? v.ViewLeft : x;
    y = y <= bottom ? bottom : y >= v.ViewTop ? v.ViewTop : y;
    dragEnd_ = QPointF(x, y);

    const double dx = std::abs(dragStart_.x() - x);
    const double dy = std::abs(dragStart_.y() - y);
    if (dx >= kMinBoxSamples && dy >= kMinBoxAmperes) {
        zoomInto(dragEnd_);
    } else if (zoomLevel_ > 0) {
        --zoomLevel_;
    }
    // The box stays on screen until the mouse next moves with no button held.
}

void PlotZoom::zoomInto(QPointF end) {
    // The stack is full at the deepest level: the box is ignored there, so that a drag never
    // throws the engineer back out of the view being studied.
    if (zoomLevel_ >= kLevels - 1 || sampleCount_ < 2)
        return;
    PlotView next;
    next.ViewWidth = roundToEven(std::abs(end.x() - dragStart_.x()));
    next.ViewLeft = roundToEven(std::min(dragStart_.x(), end.x()));
    next.ViewHeight = float(-std::abs(end.y() - dragStart_.y()));
    next.ViewTop = float(std::max(dragStart_.y(), end.y()));
    // Rounding the left edge and the width separately can carry the right edge one sample past
    // the last one; the width gives way so that every sample drawn exists and the left edge
    // stays where the engineer put it.
    const int last = sampleCount_ - 1;
    next.ViewLeft = qint16(std::clamp<int>(next.ViewLeft, 0, std::max(0, last - 1)));
    next.ViewWidth = qint16(std::clamp<int>(next.ViewWidth, 1, std::max(1, last - next.ViewLeft)));
    ++zoomLevel_;
    views_[std::size_t(zoomLevel_)] = next;
}

} // namespace kiro
