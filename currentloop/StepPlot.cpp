#include "StepPlot.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace kiro {

namespace {
const QColor kField(236, 233, 216);
const QColor kFrameGrey(128, 128, 128);
const QColor kColumnLine(128, 128, 128);
const QColor kRowLine(107, 145, 148);
const QColor kCurve(28, 249, 105);
const QColor kZoomBox(23, 32, 3);
const QColor kZeroLine(39, 20, 100);
const QColor kReferenceLine(243, 81, 33);
constexpr int kColumns[] = {109, 218, 327};
constexpr int kRows[] = {51, 103, 154};

int buttonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return PlotZoom::Left;
    case Qt::RightButton:
        return PlotZoom::Right;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

int buttonsCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= PlotZoom::Left;
    if (buttons & Qt::RightButton)
        code |= PlotZoom::Right;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

QImage drawBackground() {
    QImage image(StepPlot::kWidth, StepPlot::kHeight, QImage::Format_RGB32);
    image.fill(kField);
    QPainter painter(&image);
    const int right = StepPlot::kWidth - 1;
    const int bottom = StepPlot::kHeight - 1;
    // A sunken frame: grey outside, black inside on the top and left; the other way round on the
    // bottom and right.
    painter.setPen(kFrameGrey);
    painter.drawLine(0, 0, right, 0);
    painter.drawLine(0, 0, 0, bottom);
    painter.drawLine(1, bottom - 1, right - 1, bottom - 1);
    painter.drawLine(right - 1, 1, right - 1, bottom - 1);
    painter.setPen(Qt::black);
    painter.drawLine(1, 1, right - 1, 1);
    painter.drawLine(1, 1, 1, bottom - 1);
    painter.drawLine(0, bottom, right, bottom);
    painter.drawLine(right, 0, right, bottom);
    painter.setPen(kColumnLine);
    for (const int x : kColumns)
        painter.drawLine(x, 2, x, bottom - 2);
    painter.setPen(kRowLine);
    for (const int y : kRows)
        painter.drawLine(2, y, right - 2, y);
    return image;
}
} // namespace

StepPlot::StepPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A move with no button held takes the zoom box away, so moves are wanted without buttons too.
    setMouseTracking(true);
}

const QImage& StepPlot::background() {
    static const QImage image = drawBackground();
    return image;
}

QPointF StepPlot::toPixels(QPointF at) const {
    const double width = scale_.ViewWidth == 0 ? 1 : scale_.ViewWidth;
    const double height = scale_.ViewHeight == 0 ? 1 : scale_.ViewHeight;
    return {(at.x() - scale_.ViewLeft) * kWidth / width,
            (at.y() - scale_.ViewTop) * kHeight / height};
}

QPointF StepPlot::toPlot(QPointF pixel) const {
    return {scale_.ViewLeft + pixel.x() * scale_.ViewWidth / kWidth,
            scale_.ViewTop + pixel.y() * scale_.ViewHeight / kHeight};
}

void StepPlot::redraw(const PlotFrame& frame) {
    scale_ = frame.view;
    frame_ = underlayFor(frame).copy();
    QPainter painter(&frame_);
    const int left = frame.view.ViewLeft;
    const int end = left + frame.view.ViewWidth;

    if (frame.samples && left >= 0 && end < frame.samples->size())
        drawCurve(painter, *frame.samples, QPen(kCurve, curveWidth_));

    if (frame.dragging) {
        painter.setPen(QPen(kZoomBox, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(toPixels(frame.dragStart), toPixels(frame.dragEnd)).normalized());
    }

    const QPointF lineStart(left, 0);
    const QPointF lineEnd(end, 0);
    painter.setPen(QPen(kZeroLine, 1));
    painter.drawLine(toPixels(lineStart), toPixels(lineEnd));
    painter.setPen(QPen(kReferenceLine, 1));
    painter.drawLine(toPixels(QPointF(left, frame.testCurrent)),
                     toPixels(QPointF(end, frame.testCurrent)));
    curveWidth_ = 2;
    painter.end();
    update();
}

const QImage& StepPlot::underlayFor(const PlotFrame& frame) {
    QVector<QVector<float>> runs;
    QVector<QColor> colours;
    for (const PlotOverlay& overlay : frame.overlays) {
        if (overlay.samples) {
            runs.append(*overlay.samples);
            colours.append(overlay.colour);
        }
    }
    // Records shared with the last ones compare at once; others compare sample by sample.
    if (!underlay_.picture.isNull() && underlay_.view == frame.view && underlay_.runs == runs &&
        underlay_.colours == colours)
        return underlay_.picture;

    underlay_ = {frame.view, runs, colours, background().copy()};
    if (!runs.isEmpty()) {
        QPainter painter(&underlay_.picture);
        // The oldest first, so that newer runs lie over older ones.
        for (qsizetype index = runs.size() - 1; index >= 0; --index)
            drawCurve(painter, runs[index], QPen(colours[index], 1));
    }
    return underlay_.picture;
}

// The segments of the record within the view. A record shorter than the view (an earlier run of
// another length) is drawn as far as it goes.
void StepPlot::drawCurve(QPainter& painter, const QVector<float>& samples, const QPen& pen) {
    const int left = scale_.ViewLeft;
    const int end = std::min<int>(left + scale_.ViewWidth, int(samples.size()) - 1);
    if (left < 0 || end <= left)
        return;
    segments_.clear();
    QPointF from = toPixels(QPointF(left, samples[left]));
    for (int i = left; i < end; ++i) {
        const QPointF to = toPixels(QPointF(i + 1, samples[i + 1]));
        segments_.append(QLineF(from, to));
        from = to;
    }
    painter.setPen(pen);
    painter.drawLines(segments_);
}

void StepPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture());
}

void StepPlot::mousePressEvent(QMouseEvent* event) {
    emit buttonDown(buttonCode(event->button()), toPlot(event->position()));
}

void StepPlot::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(buttonsCode(event->buttons()), toPlot(event->position()));
}

void StepPlot::mouseReleaseEvent(QMouseEvent* event) {
    emit buttonUp(buttonCode(event->button()), toPlot(event->position()));
}

void StepPlot::leaveEvent(QEvent*) {
    emit mouseLeft();
}

} // namespace kiro
