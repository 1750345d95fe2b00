#include "ParameterTableIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace kiro {

namespace {

constexpr int kSide = 32;

QIcon drawn(const std::function<void(QPainter&)>& draw) {
    QPixmap picture(kSide, kSide);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.5));
    draw(painter);
    return QIcon(picture);
}

} // namespace

QIcon OpenFileIcon() {
    return drawn([](QPainter& p) {
        p.setBrush(QColor(230, 180, 60));
        p.drawRect(QRectF(3, 9, 24, 18));
        p.drawRect(QRectF(3, 6, 10, 4));
        p.setBrush(QColor(250, 210, 100));
        QPainterPath flap;
        flap.moveTo(7, 14);
        flap.lineTo(30, 14);
        flap.lineTo(26, 27);
        flap.lineTo(3, 27);
        flap.closeSubpath();
        p.drawPath(flap);
    });
}

QIcon SaveFileIcon() {
    return drawn([](QPainter& p) {
        p.setBrush(QColor(60, 90, 160));
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(QColor(235, 235, 235));
        p.drawRect(QRectF(9, 4, 14, 9));
        p.setBrush(QColor(60, 90, 160));
        p.drawRect(QRectF(18, 6, 3, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(8, 17, 16, 11));
    });
}

QIcon ChipIcon() {
    return drawn([](QPainter& p) {
        for (int pin = 0; pin < 4; ++pin) {
            const qreal at = 9 + pin * 5;
            p.drawLine(QPointF(at, 3), QPointF(at, 8));
            p.drawLine(QPointF(at, 24), QPointF(at, 29));
            p.drawLine(QPointF(3, at), QPointF(8, at));
            p.drawLine(QPointF(24, at), QPointF(29, at));
        }
        p.setBrush(QColor(50, 50, 50));
        p.drawRect(QRectF(8, 8, 16, 16));
        p.setPen(QPen(QColor(90, 200, 90), 2));
        p.drawLine(QPointF(12, 16), QPointF(15, 19));
        p.drawLine(QPointF(15, 19), QPointF(20, 13));
    });
}

QIcon ExitIcon() {
    return drawn([](QPainter& p) {
        p.setBrush(QColor(150, 100, 60));
        p.drawRect(QRectF(6, 3, 14, 26));
        p.setBrush(QColor(230, 200, 80));
        p.drawEllipse(QPointF(17, 16), 1.5, 1.5);
        p.setPen(QPen(QColor(200, 40, 40), 2.5));
        p.drawLine(QPointF(22, 16), QPointF(30, 16));
        p.drawLine(QPointF(26, 12), QPointF(30, 16));
        p.drawLine(QPointF(26, 20), QPointF(30, 16));
    });
}

} // namespace kiro
