#pragma once

#include <QPoint>
#include <QSize>

namespace kiro::twips {

// Window places and sizes of the tuners are given in twips. At 96 dpi a pixel is 15 twips; Qt's
// own high-dpi scaling takes care of larger screens.
constexpr int kPerPixel = 15;

constexpr int toPixels(int twips) {
    return twips / kPerPixel;
}
inline QPoint toPixels(const QPoint& twips) {
    return {toPixels(twips.x()), toPixels(twips.y())};
}
inline QSize toPixels(const QSize& twips) {
    return {toPixels(twips.width()), toPixels(twips.height())};
}

} // namespace kiro::twips
