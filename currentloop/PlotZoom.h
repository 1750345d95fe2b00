#pragma once

#include <QPointF>
#include <array>

namespace kiro {

// One view of the step-response plot in the plot's own units: samples across, amperes up.
// ViewHeight is negative because values grow upward while the picture's rows grow downward.
struct PlotView {
    qint16 ViewLeft = 0;  // first sample index shown
    qint16 ViewWidth = 0; // number of sample steps shown
    float ViewTop = 0;    // current at the top edge
    float ViewHeight = 0; // negative: the vertical span

    bool operator==(const PlotView&) const = default;
};

// Zooming into the plot with the mouse: a box dragged with the left button becomes the next view,
// a click (or a box too small to mean anything) steps back one view, and the right button returns
// to the full view. The views form a stack of 15 levels; views above the one in use stay until a
// later zoom overwrites them.
class PlotZoom {
public:
    static constexpr int kLevels = 15;
    static constexpr double kMinBoxSamples = 5;
    static constexpr double kMinBoxAmperes = 0.005;

    // Mouse buttons as the plot reports them; a move reports the set of buttons held.
    enum Button { NoButton = 0, Left = 1, Right = 2 };

    // After a new capture: the full view of sampleCount samples spanning +-plotRange.
    void reset(float plotRange, int sampleCount);

    int ZoomLevel() const { return zoomLevel_; }
    const PlotView& view() const { return views_[std::size_t(zoomLevel_)]; }
    const PlotView& viewAt(int level) const;

    bool Dragging() const { return dragging_; }
    QPointF DragStart() const { return dragStart_; }
    QPointF DragEnd() const { return dragEnd_; }

    void buttonDown(int button, QPointF at);
    void mouseMove(int buttons, QPointF at);
    void buttonUp(int button, QPointF at);

private:
    void zoomInto(QPointF end);

    std::array<PlotView, kLevels> views_{};
    int zoomLevel_ = 0;
    int sampleCount_ = 0;
    QPointF dragStart_;
    QPointF dragEnd_;
    bool dragging_ = false;
};

} // namespace kiro
