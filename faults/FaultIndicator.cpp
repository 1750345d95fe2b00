#include "FaultIndicator.h"

#include "shell/Twips.h"

#include <QPainter>

namespace kiro {

const QColor FaultIndicator::kFaultColor(255, 0, 0);
const QColor FaultIndicator::kNoFaultColor(0, 255, 0);

namespace {
const QString kFault = QStringLiteral("故障");
const QString kNoFault = QStringLiteral("正常");
constexpr int kDiameterTwips = 255;
} // namespace

FaultIndicator::FaultIndicator(QWidget* parent) : QWidget(parent) {
    const int diameter = twips::toPixels(kDiameterTwips);
    setFixedSize(diameter, diameter);
    setAccessibleDescription(kNoFault);
}

void FaultIndicator::showFault(bool fault) {
    const QColor color = fault ? kFaultColor : kNoFaultColor;
    if (color == fillColor_)
        return;
    fillColor_ = color;
    setAccessibleDescription(fault ? kFault : kNoFault);
    update();
}

QSize FaultIndicator::sizeHint() const {
    const int diameter = twips::toPixels(kDiameterTwips);
    return {diameter, diameter};
}

void FaultIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fillColor_);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace kiro
