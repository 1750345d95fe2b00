#pragma once

#include "PlotZoom.h"

#include <QColor>
#include <QImage>
#include <QVector>
#include <QWidget>

namespace kiro {

// An earlier run drawn under the current one, thin and in a colour of its own.
struct PlotOverlay {
    const QVector<float>* samples = nullptr;
    QColor colour;
};

// Everything one redraw of the plot shows.
struct PlotFrame {
    PlotView view;
    const QVector<float>* samples = nullptr;
    bool dragging = false;
    QPointF dragStart;
    QPointF dragEnd;
    float testCurrent = 0;
    QVector<PlotOverlay> overlays; // oldest last; drawn first, so the current curve stays on top
};

// The picture box of the current-loop window (Picture1): a fixed background with its grid, and
// over it the step response drawn in the coordinates of the view in use. A redraw paints a whole
// new frame on a copy of the background, which is made once and kept; between redraws the widget
// shows the last frame as it is. Mouse positions are reported in the plot's coordinates, as the
// last scale set (or the last redraw) defines them.
class StepPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 455;
    static constexpr int kHeight = 211;

    explicit StepPlot(QWidget* parent = nullptr);

    // The fixed background: made on first use and shared by every plot.
    static const QImage& background();

    // Sets the user coordinate system without drawing.
    void setScale(const PlotView& view) { scale_ = view; }
    const PlotView& scale() const { return scale_; }
    void redraw(const PlotFrame& frame);
    // The plot as it is shown now.
    const QImage& picture() const { return frame_.isNull() ? background() : frame_; }

    // Pixel position of a point given in the plot's coordinates, and the other way round.
    QPointF toPixels(QPointF at) const;
    QPointF toPlot(QPointF pixel) const;

signals:
    void buttonDown(int button, QPointF at);
    void mouseMoved(int buttons, QPointF at);
    void buttonUp(int button, QPointF at);
    void mouseLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The background with the earlier runs in one view. They change only with a new run or a new
    // view, so the plot draws them once and starts every redraw from this picture.
    struct Underlay {
        PlotView view;
        QVector<QVector<float>> runs; // shared with the callers' records, not copied
        QVector<QColor> colours;
        QImage picture;
    };

    const QImage& underlayFor(const PlotFrame& frame);
    void drawCurve(QPainter& painter, const QVector<float>& samples, const QPen& pen);

    PlotView scale_;
    QImage frame_;
    int curveWidth_ = 1;       // the pen of the curve keeps the width the previous redraw left
    QVector<QLineF> segments_; // kept between redraws, so that a redraw allocates nothing
    Underlay underlay_;
};

} // namespace kiro
