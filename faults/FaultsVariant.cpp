#include "FaultsVariant.h"

#include "shell/Variant.h"

namespace kiro {

const FaultsVariant& FaultsVariant::x7() {
    // The number row sits below the fault rows. Undervoltage hides under phase loss, the encoder
    // row in the number row, tracking errors below the grid.
    static const FaultsVariant variant{
        std::nullopt, {225, 585, 945, 945, 1305, 1785}, 1305, 1785, 1665, 1800,
    };
    return variant;
}

const FaultsVariant& FaultsVariant::qz318() {
    // The number row heads the grid; the three hidden rows lie below it.
    static const FaultsVariant variant{
        QPoint(4500, 1500), {705, 1065, 2145, 1545, 2505, 2865}, 345, 2865, 1905, 2040,
    };
    return variant;
}

const FaultsVariant& FaultsVariant::of(const Variant& variant) {
    return &variant == &Variant::qz318() ? qz318() : x7();
}

} // namespace kiro
