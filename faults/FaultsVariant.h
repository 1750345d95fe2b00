#pragma once

#include "FaultWord.h"

#include <QPoint>
#include <array>
#include <optional>

namespace kiro {

struct Variant;

// Where the fault query window and its grid sit in each tuner, in twips. The texts are the same
// in both tuners; the link failure message is the link's own.
struct FaultsVariant {
    // Where the window moves itself when it loads; none: the top left corner of the client area.
    std::optional<QPoint> windowTwips;
    // Top of the indicator row of each fault, in caption order (bits 0, 1, 2, 3, 4, 6). Hidden
    // rows have their place too: over a visible row or below the grid.
    std::array<int, 6> rowTopTwips;
    int numberRowTopTwips; // column numbers and "历史次数:"
    int spareRowTopTwips;  // indicators of the bits that carry no fault; never shown
    int gridBottomTwips;   // lower edge of the frame behind the grid
    int buttonsTopTwips;

    static const FaultsVariant& x7();
    static const FaultsVariant& qz318();
    static const FaultsVariant& of(const Variant& variant);
};

// Horizontal places of the grid, the same in both tuners.
namespace faultgrid {
constexpr int kIndicatorTwips = 255;
constexpr int kColumnPitchTwips = 480;
constexpr int kFirstColumnLeftTwips = 1320;
constexpr int kCaptionLeftTwips = 120;
constexpr int kCaptionWidthTwips = 1080;
constexpr int kGridWidthTwips =
    kFirstColumnLeftTwips + (kFaultColumns - 1) * kColumnPitchTwips + kIndicatorTwips + 225;

constexpr int columnLeftTwips(int column) {
    return kFirstColumnLeftTwips + column * kColumnPitchTwips;
}
} // namespace faultgrid

} // namespace kiro
